// The data store on Windows: the diagnostic log in the current folder, and the image's
// size and SHA-256 for the record.
#include "win32/data_store.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <winternl.h>

#include "core/log.h"
#include "tests/support.h"
#include "win32/plain_file.h"
#include "win32/win32.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::ScopedTempDir;

TEST(DiagnosticLog, OffNeverCreatesOrTouchesTheFile) {
    const ScopedTempDir dir;
    Win32DataStore store;
    Log off(store, false);
    off.Write(L"The specified file was not found.");
    EXPECT_FALSE(std::filesystem::exists("varnok.log"));

    std::ofstream("varnok.log", std::ios::binary) << "old\r\n";
    const auto stamp = std::filesystem::last_write_time("varnok.log");
    off.Write(L"new");
    EXPECT_EQ(ReadFileBytes("varnok.log"), "old\r\n");
    EXPECT_EQ(std::filesystem::last_write_time("varnok.log"), stamp);
}

TEST(DiagnosticLog, EntriesAppendWithCrLfAcrossRuns) {
    const ScopedTempDir dir;
    Win32DataStore store;
    Log(store).Write(L"first run");
    // A second run appends to what the first left, with nothing in between.
    Log second(store);
    second.Write(L"No file selected");
    second.Write(L"");
    EXPECT_EQ(ReadFileBytes("varnok.log"), "first run\r\nNo file selected\r\n\r\n");
}

TEST(DiagnosticLog, LandsInTheCurrentDirectory) {
    const ScopedTempDir dir;
    Win32DataStore store;
    Log log(store);
    std::filesystem::create_directory("elsewhere");
    std::filesystem::current_path("elsewhere");
    log.Write(L"here");
    std::filesystem::current_path(dir.path());
    EXPECT_EQ(ReadFileBytes("elsewhere/varnok.log"), "here\r\n");
    EXPECT_FALSE(std::filesystem::exists("varnok.log"));
}

TEST(DiagnosticLog, AnEntryThatCannotBeWrittenIsDroppedSilently) {
    const ScopedTempDir dir;
    Win32DataStore store;
    // A directory where the file should be: the open fails.
    std::filesystem::create_directory("varnok.log");
    Log(store).Write(L"lost");
    EXPECT_TRUE(std::filesystem::is_directory("varnok.log"));
    EXPECT_TRUE(std::filesystem::is_empty("varnok.log"));
}

TEST(Image, DescribedAcrossReadBlocks) {
    const ScopedTempDir dir;
    const std::filesystem::path image = dir.path() / "million a.bin";
    std::ofstream(image, std::ios::binary) << std::string(1000000, 'a');
    Win32DataStore store;
    const ImageOpening opened = store.OpenImage(image.wstring());
    ASSERT_TRUE(opened.held);
    EXPECT_EQ(opened.facts.size, 1000000u);
    EXPECT_EQ(opened.facts.sha256,
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_FALSE(store.OpenImage((dir.path() / "missing.bin").wstring()).held);
    EXPECT_FALSE(store.OpenImage(dir.path().wstring()).held);
}

// While it is sent, the image can be read (by the client) but not changed, replaced or
// removed; afterwards it can.
TEST(Image, HeldAgainstChangesWhileSent) {
    const ScopedTempDir dir;
    const std::filesystem::path path = dir.path() / "unit.bin";
    std::ofstream(path, std::ios::binary) << "image";
    const std::wstring image = path.wstring();
    Win32DataStore store;
    ImageOpening opened = store.OpenImage(image);
    ASSERT_TRUE(opened.held);
    const auto opens = [&](DWORD access, DWORD share) {
        return static_cast<bool>(OwnFile(
            ::CreateFileW(image.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr)));
    };
    EXPECT_TRUE(opens(GENERIC_READ, FILE_SHARE_READ));
    EXPECT_FALSE(opens(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_FALSE(::DeleteFileW(image.c_str()));
    opened.held.reset();
    EXPECT_TRUE(opens(GENERIC_WRITE, FILE_SHARE_READ));
}

} // namespace

namespace {

// A spreadsheet holding a file open (reading it, letting others only read): appending
// fails, and the file's lines can still be taken aside and removed.
TEST(VarnoksFiles, AFileHeldOpenRefusesAppendsAndTakingIsOneStep) {
    Win32DataStore store;
    const std::wstring name = L"test-held-file.csv";
    store.Remove(name);
    std::wstring failure;
    ASSERT_TRUE(store.Append(name, "h\r\n", "a\r\n", failure));
    {
        const UniqueHandle spreadsheet =
            OwnFile(::CreateFileW(store.PathOf(name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(spreadsheet);
        EXPECT_FALSE(store.Append(name, "h\r\n", "b\r\n", failure));
        EXPECT_FALSE(failure.empty());
    }
    EXPECT_EQ(store.Take(name), "h\r\na\r\n");
    EXPECT_FALSE(store.Exists(name));
    EXPECT_FALSE(store.Take(name));  // taken once only
    EXPECT_TRUE(store.Remove(name)); // gone already: fine
}

} // namespace

namespace {

// A folder of the Linux side (Z:), where a Linux symbolic link can be made: Wine makes
// none itself, but starts a Linux program given by its path.
class UnixFolder {
public:
    UnixFolder() : unix_("/tmp/varnok-links-" + std::to_string(::GetCurrentProcessId())) {
        std::filesystem::create_directories(Windows(unix_));
    }
    // Removed by the Linux side too: through Wine, a walk of the folder would follow its
    // links.
    ~UnixFolder() { Run(L"rm -rf " + Wide(unix_), L"Z:\\bin\\rm", unix_, false); }
    std::filesystem::path Windows(const std::string& unix) const { return "Z:" + unix; }
    std::string Unix(const std::string& name) const { return unix_ + "/" + name; }
    std::filesystem::path At(const std::string& name) const { return Windows(Unix(name)); }

    // `name` made a link to `target`; false when it did not appear.
    bool Link(const std::string& target, const std::string& name) const {
        return Run(L"ln -s " + Wide(Unix(target)) + L" " + Wide(Unix(name)), L"Z:\\bin\\ln",
                   Unix(name), true);
    }

private:
    // Starts a Linux program (Wine gives no handle to wait on) and waits until `path` is
    // there (or gone), two seconds at most.
    static bool Run(std::wstring line, const wchar_t* program, const std::string& path,
                    bool appears) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (!::CreateProcessW(program, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &started)) {
            return false;
        }
        const UniqueHandle process(started.hProcess);
        const UniqueHandle thread(started.hThread);
        const std::wstring windows = L"Z:" + Wide(path);
        for (int i = 0; i < 100; ++i) {
            const bool there = ::GetFileAttributesW(windows.c_str()) != INVALID_FILE_ATTRIBUTES;
            if (there == appears) {
                return true;
            }
            ::Sleep(20);
        }
        return false;
    }

    static std::wstring Wide(const std::string& text) { return {text.begin(), text.end()}; }
    std::string unix_;
};

// The rights a handle was granted, as Windows checks them on every later call.
ACCESS_MASK GrantedAccess(HANDLE handle) {
    PUBLIC_OBJECT_BASIC_INFORMATION information{};
    ULONG size = 0;
    return ::NtQueryObject(handle, ObjectBasicInformation, &information, sizeof information,
                           &size) == 0
               ? information.GrantedAccess
               : 0;
}

// Windows refuses the plain-file check on a handle without FILE_READ_ATTRIBUTES (Wine lets
// it through): every open for it asks for that right, whatever the caller's access, or the
// list, the log and the record would never be written there.
TEST(PlainFiles, EveryOpenMayBeChecked) {
    ScopedTempDir dir;
    const PlainFolder folder = CheckFolder(dir.path().wstring());
    ASSERT_FALSE(folder.resolved.empty()) << folder.failure;
    const DWORD accesses[] = {GENERIC_WRITE, FILE_APPEND_DATA | SYNCHRONIZE, GENERIC_READ,
                              FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE};
    for (const DWORD access : accesses) {
        std::wstring failure;
        const UniqueHandle file =
            OpenPlainFile(folder, L"units.csv", access, FILE_SHARE_READ, OPEN_ALWAYS, failure);
        ASSERT_TRUE(file) << std::hex << access << ": "
                          << std::string(failure.begin(), failure.end());
        EXPECT_EQ(GrantedAccess(file.get()) & FILE_READ_ATTRIBUTES,
                  static_cast<ACCESS_MASK>(FILE_READ_ATTRIBUTES))
            << std::hex << access;
    }
}

// A link in place of Varnok's folder, or of a file in it (or of the log): refused, and
// nothing written where it leads.
TEST(PlainFiles, NothingIsWrittenThroughALink) {
    const UnixFolder base;
    std::filesystem::create_directories(base.At("elsewhere"));
    std::ofstream(base.At("elsewhere/victim.csv"), std::ios::binary) << "kept\n";
    std::filesystem::create_directories(base.At("Varnok"));
    if (!base.Link("elsewhere", "Linked") ||
        !base.Link("elsewhere/victim.csv", "Varnok/record.csv") ||
        !base.Link("elsewhere/victim.csv", "Varnok/varnok.log")) {
        GTEST_SKIP() << "no Linux link could be made here";
    }
    const PlainFolder linked = CheckFolder(base.At("Linked").wstring());
    EXPECT_TRUE(linked.resolved.empty());
    EXPECT_NE(linked.failure.find(L"not a plain folder"), std::wstring::npos) << linked.failure;
    std::wstring failure;
    EXPECT_FALSE(OpenPlainFile(linked, L"units.csv.new", GENERIC_WRITE, 0, CREATE_ALWAYS, failure));

    const PlainFolder plain = CheckFolder(base.At("Varnok").wstring());
    EXPECT_FALSE(plain.resolved.empty()) << plain.failure;
    EXPECT_FALSE(OpenPlainFile(plain, L"record.csv", FILE_APPEND_DATA | SYNCHRONIZE,
                               FILE_SHARE_READ, OPEN_ALWAYS, failure));
    EXPECT_NE(failure.find(L"not a plain file"), std::wstring::npos) << failure;
    EXPECT_TRUE(OpenPlainFile(plain, L"units.csv", GENERIC_WRITE, 0, CREATE_ALWAYS, failure))
        << failure;

    // The log in the current folder: never through a link.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(base.At("Varnok"));
    Win32DataStore store;
    Log(store).Write(L"written elsewhere?");
    std::filesystem::current_path(before);

    EXPECT_FALSE(std::filesystem::exists(base.At("elsewhere/units.csv.new")));
    EXPECT_EQ(ReadFileBytes(base.At("elsewhere/victim.csv")), "kept\n");
}

} // namespace
