#include "core/log.h"

#include <gtest/gtest.h>

#include "tests/fakes/fakes.h"

namespace {

TEST(Log, OffWritesNothing) {
    fakes::FakeStore store;
    Log off;
    EXPECT_FALSE(off.On());
    off.Write(L"The specified file was not found.");
    EXPECT_EQ(store.LogBytes(), "");
}

TEST(Log, EntriesAppendWithCrLf) {
    fakes::FakeStore store;
    Log log(store);
    EXPECT_TRUE(log.On());
    log.Write(L"first run");
    log.Write(L"No file selected");
    log.Write(L"");
    EXPECT_EQ(store.LogBytes(), "first run\r\nNo file selected\r\n\r\n");
}

TEST(LogBytes, OneBytePerCharacter) {
    EXPECT_EQ(LogEntryBytes(L"ping ip=1.2.3.4 returned "), "ping ip=1.2.3.4 returned \r\n");
    EXPECT_EQ(LogEntryBytes(L"caf\u00e9"), "caf\xe9\r\n");
    // Beyond one byte: a placeholder, never a low byte that could be a line end.
    EXPECT_EQ(LogEntryBytes(L"a\u010ab"), "a?b\r\n");
}

} // namespace
