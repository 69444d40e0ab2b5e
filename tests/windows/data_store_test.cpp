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
    Win32LogFile logFile;
    Log off(logFile, false);
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
    Win32LogFile logFile;
    Log(logFile).Write(L"first run");
    // A second run appends to what the first left, with nothing in between.
    Log second(logFile);
    second.Write(L"No file selected");
    second.Write(L"");
    EXPECT_EQ(ReadFileBytes("varnok.log"), "first run\r\nNo file selected\r\n\r\n");
}

TEST(DiagnosticLog, LandsInTheCurrentDirectory) {
    const ScopedTempDir dir;
    Win32LogFile logFile;
    Log log(logFile);
    std::filesystem::create_directory("elsewhere");
    std::filesystem::current_path("elsewhere");
    log.Write(L"here");
    std::filesystem::current_path(dir.path());
    EXPECT_EQ(ReadFileBytes("elsewhere/varnok.log"), "here\r\n");
    EXPECT_FALSE(std::filesystem::exists("varnok.log"));
}

TEST(DiagnosticLog, AnEntryThatCannotBeWrittenIsDroppedSilently) {
    const ScopedTempDir dir;
    Win32LogFile logFile;
    // A directory where the file should be: the open fails.
    std::filesystem::create_directory("varnok.log");
    Log(logFile).Write(L"lost");
    EXPECT_TRUE(std::filesystem::is_directory("varnok.log"));
    EXPECT_TRUE(std::filesystem::is_empty("varnok.log"));
}

TEST(Image, DescribedAcrossReadBlocks) {
    const ScopedTempDir dir;
    const std::filesystem::path image = dir.path() / "million a.bin";
    std::ofstream(image, std::ios::binary) << std::string(1000000, 'a');
    Win32UserFiles store;
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
    Win32UserFiles store;
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
// and holding it fail, while reading it still works. A held file is this process's alone
// (another hold, as another Varnok's, waits and then fails), and emptied it goes.
TEST(VarnoksFiles, AFileHeldOpenRefusesAppendsAndAHeldFileIsOnesAlone) {
    Win32OwnFiles files;
    const std::wstring name = L"test-held-file.csv";
    files.Remove(name);
    ASSERT_FALSE(files.Append(name, "h\r\n", "a\r\n"));
    FileError error;
    {
        const UniqueHandle spreadsheet =
            OwnFile(::CreateFileW(files.PathOf(name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(spreadsheet);
        const FileError refused = files.Append(name, "h\r\n", "b\r\n");
        EXPECT_EQ(refused.code, static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
        EXPECT_FALSE(files.Hold(name, error));
        EXPECT_EQ(files.Read(name, error), "h\r\na\r\n");
    }
    std::unique_ptr<HeldFile> held = files.Hold(name, error);
    ASSERT_TRUE(held) << error.code;
    EXPECT_FALSE(files.Hold(name, error)); // not twice
    EXPECT_FALSE(held->Add("c\r\n"));
    EXPECT_EQ(held->ReadAll(error), "h\r\na\r\nc\r\n");
    EXPECT_FALSE(held->Empty());
    held.reset();
    error = {};
    EXPECT_FALSE(files.Read(name, error)); // gone
    EXPECT_FALSE(error);
    EXPECT_FALSE(files.Remove(name)); // gone already: fine
}

// What a spreadsheet opens, or something a user leaves: a file written later is newer.
TEST(VarnoksFiles, SayWhenTheyWereWritten) {
    Win32OwnFiles files;
    EXPECT_FALSE(files.WrittenAt(L"test-never-written.csv"));
    files.Replace(L"test-older.csv", "a");
    ::Sleep(20);
    files.Replace(L"test-newer.csv", "b");
    const std::optional<std::uint64_t> older = files.WrittenAt(L"test-older.csv");
    const std::optional<std::uint64_t> newer = files.WrittenAt(L"test-newer.csv");
    ASSERT_TRUE(older && newer);
    EXPECT_LT(*older, *newer);
    files.Remove(L"test-older.csv");
    files.Remove(L"test-newer.csv");
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
    // `name` moved to `to` by the Linux side (which heeds no Windows sharing); false when
    // it did not go.
    bool Move(const std::string& name, const std::string& to) const {
        return Run(L"mv " + Wide(Unix(name)) + L" " + Wide(Unix(to)), L"Z:\\bin\\mv", Unix(name),
                   false);
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

// Windows refuses the plain-file check on a handle without FILE_READ_ATTRIBUTES, and a
// file opened relative to its folder's handle gets only the rights asked for: every open
// asks for that right itself, whatever the caller's access, or the list, the log and the
// record would never be written there.
TEST(PlainFiles, EveryOpenMayBeChecked) {
    ScopedTempDir dir;
    FileError error;
    const HeldFolder folder = HeldFolder::Open(dir.path().wstring(), error);
    ASSERT_TRUE(folder) << error.code;
    const ACCESS_MASK accesses[] = {GENERIC_WRITE, FILE_APPEND_DATA, GENERIC_READ, DELETE};
    for (const ACCESS_MASK access : accesses) {
        const UniqueHandle file = folder.OpenFile(L"units.csv", access, FILE_SHARE_READ,
                                                  HeldFolder::Disposition::EitherWay, error);
        ASSERT_TRUE(file) << std::hex << access << ": " << error.code;
        EXPECT_EQ(GrantedAccess(file.get()) & FILE_READ_ATTRIBUTES,
                  static_cast<ACCESS_MASK>(FILE_READ_ATTRIBUTES))
            << std::hex << access;
    }
}

// A link in place of Varnok's folder, or of a file in it (or of the log): refused, and
// nothing written, emptied or removed where it leads; a link is removed as itself.
TEST(PlainFiles, NothingIsWrittenOrRemovedThroughALink) {
    const UnixFolder base;
    std::filesystem::create_directories(base.At("elsewhere"));
    std::ofstream(base.At("elsewhere/victim.csv"), std::ios::binary) << "kept\n";
    std::filesystem::create_directories(base.At("Varnok"));
    if (!base.Link("elsewhere", "Linked") ||
        !base.Link("elsewhere/victim.csv", "Varnok/record.csv") ||
        !base.Link("elsewhere/victim.csv", "Varnok/varnok.log") ||
        !base.Link("elsewhere/victim.csv", "Varnok/units.csv.new") ||
        !base.Link("elsewhere/victim.csv", "Varnok/units.pending.csv")) {
        GTEST_SKIP() << "no Linux link could be made here";
    }
    FileError error;
    EXPECT_FALSE(HeldFolder::Open(base.At("Linked").wstring(), error));
    EXPECT_EQ(error.kind, FileError::NotPlain);
    Win32OwnFiles linked(base.At("Linked").wstring());
    EXPECT_EQ(linked.Replace(L"units.csv", "new").kind, FileError::NotPlain);

    Win32OwnFiles files(base.At("Varnok").wstring());
    EXPECT_EQ(files.Append(L"record.csv", "h\r\n", "line\r\n").kind, FileError::NotPlain);
    EXPECT_FALSE(files.Read(L"record.csv", error));
    EXPECT_EQ(error.kind, FileError::NotPlain);
    EXPECT_FALSE(files.Hold(L"record.csv", error));
    // A link at the fresh file's name, or at one to remove: removed as itself (Windows
    // opens it so) or left alone (Wine follows it), never what it leads to.
    files.Replace(L"units.csv", "new");
    files.Remove(L"units.pending.csv");

    // The log in the current folder: never through a link.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(base.At("Varnok"));
    Win32LogFile logFile;
    Log(logFile).Write(L"written elsewhere?");
    std::filesystem::current_path(before);

    EXPECT_FALSE(std::filesystem::exists(base.At("elsewhere/units.csv")));
    EXPECT_EQ(ReadFileBytes(base.At("elsewhere/victim.csv")), "kept\n");
}

// The folder swapped for a link after it was checked (the race a junction to another
// place would win): what is written through the held folder lands in the folder that was
// checked, never where the link leads.
TEST(PlainFiles, AFolderSwappedAfterTheCheckChangesNothingElsewhere) {
    const UnixFolder base;
    std::filesystem::create_directories(base.At("elsewhere"));
    std::filesystem::create_directories(base.At("Varnok"));
    FileError error;
    const HeldFolder folder = HeldFolder::Open(base.At("Varnok").wstring(), error);
    ASSERT_TRUE(folder);
    if (!base.Move("Varnok", "Varnok.moved") || !base.Link("elsewhere", "Varnok")) {
        GTEST_SKIP() << "the folder could not be swapped here";
    }
    // Opened relative to the held folder, the file is made in it wherever it went (and then
    // refused, its place no longer being the folder checked), never where the link leads.
    const UniqueHandle file = folder.OpenFile(L"record.csv", FILE_APPEND_DATA, FILE_SHARE_READ,
                                              HeldFolder::Disposition::New, error);
    EXPECT_FALSE(file);
    EXPECT_FALSE(std::filesystem::exists(base.At("elsewhere/record.csv")));
}

} // namespace
