#include <gtest/gtest.h>

#include "core/browser.h"
#include "core/serial.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

TEST(SerialNumber, ReadsLikeAnUnsignedScan) {
    const struct {
        const wchar_t* text;
        std::optional<std::uint32_t> number;
    } cases[] = {
        {L"1234", 1234u},
        {L"01234", 1234u},
        {L"  \t1000", 1000u},
        {L"+1234", 1234u},
        {L"12a4", 12u},
        {L"0999", 999u},
        {L"4294967295", 4294967295u},
        {L"99999999999999999999", 4294967295u}, // out of range stays at the top
        {L"", std::nullopt},
        {L"    ", std::nullopt},
        {L"abcd", std::nullopt},
        {L"+", std::nullopt},
        {L"+-1", std::nullopt},
        {L"-1234", std::nullopt}, // no wrapping to 4294966062
        {L" -0", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadSerialNumber(c.text), c.number) << testing::PrintToString(c.text);
    }
}

TEST(SerialNumber, OnlyTheFirst63CharactersCount) {
    EXPECT_EQ(ReadSerialNumber(std::wstring(62, L' ') + L"7"), 7u);
    EXPECT_EQ(ReadSerialNumber(std::wstring(63, L' ') + L"7"), std::nullopt);
}

TEST(SerialNumber, LengthIsFourOrFiveCharacters) {
    EXPECT_EQ(CheckSerialLength(L"123"), SerialLength::TooShort);
    EXPECT_EQ(CheckSerialLength(L""), SerialLength::TooShort);
    EXPECT_EQ(CheckSerialLength(L"1234"), SerialLength::Fine);
    EXPECT_EQ(CheckSerialLength(L"abcde"), SerialLength::Fine);
    EXPECT_EQ(CheckSerialLength(L"123456"), SerialLength::TooLong);
}

TEST(Browser, OpenCommandSplitsIntoProgramAndArgumentsWithTheAddress) {
    const std::wstring url = L"http://192.168.0.5";
    const struct {
        const wchar_t* openCommand;
        const wchar_t* program;
        const wchar_t* arguments;
    } cases[] = {
        // A quoted program keeps its blanks; the quotes around the placeholder stay.
        {LR"("C:\Program Files\B\b.exe" "%1")", LR"(C:\Program Files\B\b.exe)",
         LR"("http://192.168.0.5")"},
        {LR"("C:\Program Files\B\b.exe" -osint -url "%1")", LR"(C:\Program Files\B\b.exe)",
         LR"(-osint -url "http://192.168.0.5")"},
        {LR"(C:\B\b.exe %1)", LR"(C:\B\b.exe)", L"http://192.168.0.5"},
        {LR"(C:\B\b.exe --single-argument %L)", LR"(C:\B\b.exe)",
         L"--single-argument http://192.168.0.5"},
        // What follows the placeholder stays, after the address.
        {LR"(C:\B\b.exe -new %1 -tab)", LR"(C:\B\b.exe)", L"-new http://192.168.0.5 -tab"},
        {LR"("C:\B\b.exe" -url "%1" %*)", LR"(C:\B\b.exe)", LR"(-url "http://192.168.0.5")"},
        {LR"(C:\B\b.exe %1 %1)", LR"(C:\B\b.exe)", L"http://192.168.0.5 http://192.168.0.5"},
        // No placeholder: the address is the last argument.
        {LR"(C:\B\b.exe)", LR"(C:\B\b.exe)", L"http://192.168.0.5"},
        {LR"("C:\B\b.exe" -nohome  )", LR"(C:\B\b.exe)", L"-nohome http://192.168.0.5"},
        {L"\tC:\\B\\b.exe\t%l", LR"(C:\B\b.exe)", L"http://192.168.0.5"},
        // An unquoted path with a blank is not guessed at: its first word is the program.
        {LR"(C:\Program Files\B\b.exe %1)", LR"(C:\Program)",
         LR"(Files\B\b.exe http://192.168.0.5)"},
        // A quote that never closes holds the rest.
        {LR"("C:\B\b.exe %1)", LR"(C:\B\b.exe %1)", L"http://192.168.0.5"},
        // Other percent sequences are not placeholders.
        {LR"(C:\B\b.exe -p 100% %2 %1)", LR"(C:\B\b.exe)", L"-p 100% %2 http://192.168.0.5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.openCommand)));
        const std::optional<BrowserStart> start = BrowserStartFor(c.openCommand, url);
        ASSERT_TRUE(start);
        EXPECT_EQ(start->program, c.program);
        EXPECT_EQ(start->arguments, c.arguments);
    }
    for (const wchar_t* none : {L"", L"   ", LR"("" %1)"}) {
        EXPECT_FALSE(BrowserStartFor(none, url)) << testing::PrintToString(std::wstring(none));
    }
    EXPECT_EQ(WebAddress(testing_support::Addr("0.0.0.0")), L"http://0.0.0.0");
}

TEST(Browser, OnlyPathsIndependentOfTheCurrentFolderAreFull) {
    const struct {
        const wchar_t* path;
        bool full;
    } cases[] = {
        {LR"(C:\B\b.exe)", true},
        {LR"(c:/B/b.exe)", true},
        {LR"(\\server\share\b.exe)", true},
        {L"b.exe", false},
        {LR"(C:b.exe)", false},
        {LR"(\B\b.exe)", false},
        {LR"(\\\b.exe)", false},
        {L"", false},
        {L"1:\\b.exe", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsFullPath(c.path), c.full) << testing::PrintToString(std::wstring(c.path));
    }
}

} // namespace

namespace {

// "Show": the desktop's shell first; else only the machine's browser for ".htm" pages, and
// only from a folder no standard user can change; else nothing is started (the page shows
// the address).
TEST(Show, OnlyAProtectedMachineWideBrowserIsStartedInsteadOfTheDesktopsShell) {
    const std::wstring browser = LR"(C:\Program Files\Browser\b.exe)";
    const std::wstring open = L"run open|http://10.0.0.5||show";
    const struct {
        const char* name;
        bool shellOpens;
        const wchar_t* command; // the machine's ".htm" open command
        bool isProtected;
        bool opened;
        std::vector<std::wstring> trace;
    } cases[] = {
        {"the desktop's shell", true, nullptr, false, true, {open}},
        {"a protected browser",
         false,
         LR"("C:\Program Files\Browser\b.exe" -url "%1")",
         true,
         true,
         {open, LR"(program C:\Program Files\Browser\b.exe|-url "http://10.0.0.5")"}},
        {"a browser anyone could replace",
         false,
         LR"("C:\Program Files\Browser\b.exe" %1)",
         false,
         false,
         {open}},
        {"no browser for the machine", false, nullptr, true, false, {open}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Pc pc;
        pc.desktop.opens = c.shellOpens;
        if (c.command) {
            pc.desktop.classes[L".htm"] = L"BrowserHTML";
            pc.desktop.classes[L"BrowserHTML\\shell\\open\\command"] = c.command;
        }
        if (c.isProtected) {
            pc.desktop.protectedPrograms.insert(browser);
        }
        EXPECT_EQ(OpenWebPage(pc.desktop, testing_support::Addr("10.0.0.5")), c.opened);
        EXPECT_EQ(pc.trace.Lines(), c.trace);
    }
}

} // namespace
