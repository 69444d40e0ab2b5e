#include "core/program_run.h"

#include <gtest/gtest.h>

#include "core/log.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using testing_support::ReadFileBytes;

TEST(StartFailureText, NamesEachDocumentedShellResult) {
    const struct {
        long long code;
        const wchar_t* text;
    } cases[] = {
        {0, L"The operating system is out of memory or resources."},
        {2, L"The specified file was not found."},
        {3, L"The specified path was not found."},
        {5, L"The operating system denied access to the specified file."},
        {8, L"There was not enough memory to complete the operation."},
        {11, L"The .exe file is invalid (non-Microsoft Win32 .exe or error in .exe image)."},
        {26, L"A sharing violation occurred."},
        {27, L"The file name association is incomplete or invalid."},
        {28, L"The DDE transaction could not be completed because the request timed out."},
        {29, L"The DDE transaction failed."},
        {30, L"The Dynamic Data Exchange (DDE) transaction could not be completed because other "
             L"DDE transactions were being processed."},
        {31, L"There is no application associated with the given file name extension. This "
             L"error will also be returned if you attempt to print a file that is not "
             L"printable."},
        {32, L"The specified DLL was not found."},
        {1, L"An unknown error occurred."},
        {4, L"An unknown error occurred."},
        {25, L"An unknown error occurred."},
        {-1, L"An unknown error occurred."},
        {-2147483648LL, L"An unknown error occurred."},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(StartFailureText(c.code), c.text) << c.code;
    }
}

TEST(StartResult, AboveThirtyTwoIsAStartAndLogsNothing) {
    fakes::FakeStore store;
    Log log(store);
    EXPECT_TRUE(ReportStartResult(33, log).started);
    EXPECT_TRUE(ReportStartResult(42, log).started);
    EXPECT_EQ(store.LogBytes(), "");
}

TEST(StartResult, FailuresLogTheirTextAloneWhenTheLogIsOn) {
    fakes::FakeStore store;
    Log log(store);
    EXPECT_FALSE(ReportStartResult(32, log).started);
    EXPECT_FALSE(ReportStartResult(2, log).started);
    EXPECT_FALSE(ReportStartResult(1, log).started);
    EXPECT_FALSE(ReportStartResult(-5, log).started); // signed: a negative result is no start
    EXPECT_EQ(store.LogBytes(), "The specified DLL was not found.\r\n"
                                "The specified file was not found.\r\n"
                                "An unknown error occurred.\r\n"
                                "An unknown error occurred.\r\n");
}

TEST(StartResult, FailuresLogNothingWhenTheLogIsOff) {
    Log off;
    EXPECT_FALSE(ReportStartResult(2, off).started);
}

} // namespace
