// The command line as the main program and a technician type it.
#include "tftp/cmdline.h"

#include <gtest/gtest.h>

namespace {

using namespace tftp;

TEST(CommandLine, AcceptedForms) {
    const struct {
        std::vector<std::string> args;
        bool windows;
        Mode mode;
        Direction direction;
        const char *host, *source, *destination;
    } cases[] = {
        {{"-i", "10.0.0.5", "PUT", "C:\\fw\\unit.bin"},
         true,
         Mode::Octet,
         Direction::Put,
         "10.0.0.5",
         "C:\\fw\\unit.bin",
         "unit.bin"},
        {{"-i", "10.0.0.5", "put", "C:unit.bin"},
         true,
         Mode::Octet,
         Direction::Put,
         "10.0.0.5",
         "C:unit.bin",
         "unit.bin"},
        {{"host", "Get", "dir/sub/file.txt"},
         false,
         Mode::Netascii,
         Direction::Get,
         "host",
         "dir/sub/file.txt",
         "file.txt"},
        {{"host", "GET", "dir\\file.txt"},
         false,
         Mode::Netascii,
         Direction::Get,
         "host",
         "dir\\file.txt",
         "file.txt"}, // a remote path may use either separator
        {{"host", "PUT", "a\\b"},
         false,
         Mode::Netascii,
         Direction::Put,
         "host",
         "a\\b",
         "a\\b"}, // a POSIX file name may hold a backslash
        {{"[::1]", "PUT", "a", "remote/b"},
         false,
         Mode::Netascii,
         Direction::Put,
         "::1",
         "a",
         "remote/b"},
        {{"-i", "10.0.0.5", "PUT", "-h"},
         true,
         Mode::Octet,
         Direction::Put,
         "10.0.0.5",
         "-h",
         "-h"},
        {{"-i", "h", "PUT", "-b", "8"}, true, Mode::Octet, Direction::Put, "h", "-b", "8"},
        {{"fe80::1%2", "get", "x", "y", "-i"},
         false,
         Mode::Octet,
         Direction::Get,
         "fe80::1%2",
         "x",
         "y"},
        {{"-b1468", "-w", "16", "-t", "0.5", "-T", "-v", "h", "PUT", "/tmp/f"},
         false,
         Mode::Netascii,
         Direction::Put,
         "h",
         "/tmp/f",
         "f"},
    };
    for (const auto& c : cases) {
        const CommandLine cl = ParseCommandLine(c.args, c.windows);
        EXPECT_EQ(cl.usageError, "") << c.args[0];
        EXPECT_FALSE(cl.help);
        EXPECT_EQ(cl.mode, c.mode) << c.host;
        EXPECT_EQ(cl.direction, c.direction) << c.host;
        EXPECT_EQ(cl.host, c.host);
        EXPECT_EQ(cl.source, c.source);
        EXPECT_EQ(cl.destination, c.destination);
    }
    const CommandLine cl =
        ParseCommandLine({"-b1468", "-w", "16", "-t", "0.5", "-T", "h", "PUT", "f"}, false);
    EXPECT_EQ(cl.blockSize, 1468);
    EXPECT_EQ(cl.windowSize, 16);
    EXPECT_EQ(cl.timeout, 500);
    EXPECT_TRUE(cl.tsize);
}

TEST(CommandLine, UsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {"host", "PUT"},
        {"host", "SEND", "a"},
        {"host", "PUT", "a", "b", "c"},
        {"-b", "7", "h", "GET", "a"},
        {"-b", "65465", "h", "GET", "a"},
        {"-b", "1e3", "h", "GET", "a"},
        {"-w", "0", "h", "GET", "a"},
        {"-w", "65536", "h", "GET", "a"},
        {"-t", "0", "h", "GET", "a"},
        {"-t", "256", "h", "GET", "a"},
        {"-t", "1.0001", "h", "GET", "a"},
        {"-t", ".", "h", "GET", "a"},
        {"-x", "h", "GET", "a"},
        {"h", "GET", "a", "-b"},
        {"h", "GET", "dir/"},
        {"h", "GET", ".."},
        {"h", "PUT", ""},
    };
    for (const auto& args : cases) {
        EXPECT_NE(ParseCommandLine(args, false).usageError, "") << args[0] << " " << args[1];
    }
}

TEST(CommandLine, Help) {
    for (const char* flag : {"-h", "-?"}) {
        EXPECT_TRUE(ParseCommandLine({flag}, false).help);
    }
    EXPECT_TRUE(ParseCommandLine({"/?"}, true).help);
    // On Windows a leading slash is still a path when it is not "/?" or "/h".
    EXPECT_EQ(ParseCommandLine({"h", "PUT", "/fw/unit.bin"}, true).destination, "unit.bin");
}

} // namespace
