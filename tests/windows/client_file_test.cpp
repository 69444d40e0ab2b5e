// The TFTP client's own folder, for real: written from the program's resources (here the
// stand-in program is resource 136), checked before every start, never taken from the
// current folder.
#include <aclapi.h>
#include <sddl.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "core/log.h"
#include "tests/support.h"
#include "win32/client_file.h"
#include "win32/data_store.h"
#include "win32/roles.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::ScopedTempDir;

void FreeLocal(void* memory) {
    ::LocalFree(memory);
}

fs::path HelperProgram() {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).parent_path() / "varnok_test_helper.exe";
}

std::string Embedded() {
    const std::span<const std::uint8_t> image = EmbeddedClient(136);
    return std::string(image.begin(), image.end());
}

// A folder's owner and rights as text, e.g. "O:BAD:PAI(A;OICI;FA;;;SY)...".
std::wstring RightsOf(const fs::path& folder) {
    PSECURITY_DESCRIPTOR read = nullptr;
    wchar_t* text = nullptr;
    const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    ::GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, parts, nullptr, nullptr, nullptr,
                            nullptr, &read);
    const UniqueOwner<void*, FreeLocal> owned(read);
    ::ConvertSecurityDescriptorToStringSecurityDescriptorW(read, SDDL_REVISION_1, parts, &text,
                                                           nullptr);
    const UniqueOwner<void*, FreeLocal> ownedText(text);
    return text ? text : L"<none>";
}

class ClientFolder : public ::testing::Test {
protected:
    void SetUp() override { ::SetEnvironmentVariableW(L"VARNOK_HELPER_TOUCH", marker.c_str()); }
    void TearDown() override { ::SetEnvironmentVariableW(L"VARNOK_HELPER_TOUCH", nullptr); }
    // Starts the client kept in `in` and awaits it: the command line the started program
    // was given, empty when nothing ran.
    std::string StartFrom(const fs::path& in, Log& log) {
        fs::remove(marker);
        ClientStart start = Win32Client(log, in.wstring()).Start(L"--exit 0");
        failure = start.failure;
        EXPECT_TRUE(!start.client || start.client->Await(10000));
        return ReadFileBytes(marker);
    }

    ScopedTempDir elsewhere; // holds the client's folder
    ScopedTempDir current;   // the current directory
    const fs::path folder = elsewhere.path() / "Varnok";
    const fs::path client = folder / "tftp.exe";
    const fs::path marker = elsewhere.path() / "client-ran";
    std::string StartFrom(const fs::path& in) { return StartFrom(in, off); }

    std::wstring failure;
    Win32LogFile logFile;
    Log log{logFile}; // on: "varnok.log" in the current folder
    Log off;
};

TEST_F(ClientFolder, HoldsTheEmbeddedClientAgainBeforeEveryStart) {
    ASSERT_FALSE(Embedded().empty());
    const std::function<void()> changes[] = {
        [] {}, // none yet: the folder is made
        [&] { fs::remove(client); },
        [&] { std::ofstream(client, std::ios::binary | std::ios::app) << 'x'; },
        [&] { fs::resize_file(client, 1000); },
        [&] { // the same length, one byte different
            std::fstream file(client, std::ios::binary | std::ios::in | std::ios::out);
            file.seekp(600);
            file.put('\x90');
        },
        [] {}, // none: the file there is used as it is
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(&change - changes);
        change();
        EXPECT_NE(StartFrom(folder).find(client.string()), std::string::npos) << failure;
        EXPECT_EQ(ReadFileBytes(client), Embedded());
    }
    EXPECT_FALSE(fs::exists(client.string() + ".partial"));
    EXPECT_TRUE(fs::is_empty(current.path())); // nothing written into the current folder
}

// All that Wine shows of the rights a folder is made with: it keeps them as Unix mode bits
// and reads them back from those.
TEST_F(ClientFolder, AFolderItMakesGrantsEveryoneNothing) {
    EXPECT_NE(StartFrom(folder), "") << failure;
    EXPECT_EQ(RightsOf(folder).find(L";WD)"), std::wstring::npos) << RightsOf(folder);
}

TEST_F(ClientFolder, NeverTheOneInTheCurrentFolder) {
    fs::copy_file(HelperProgram(), "tftp.exe"); // a real program, planted
    EXPECT_NE(StartFrom(folder).find(client.string()), std::string::npos) << failure;

    // No folder to be had fails the start, with its reason in the log.
    const fs::path missing = elsewhere.path() / "missing" / "Varnok";
    const struct {
        fs::path folder;
        std::wstring reason;
    } unusable[] = {
        {missing, L"The folder " + missing.wstring() + L" cannot be made (error 3)."},
        {L"", L"There is no folder for the TFTP client: ProgramData is unknown."},
    };
    for (const auto& c : unusable) {
        EXPECT_EQ(StartFrom(c.folder, log), "");
        EXPECT_EQ(failure, c.reason);
        EXPECT_NE(ReadFileBytes("varnok.log").find(LogEntryBytes(c.reason)), std::string::npos);
    }
}

// The folders beside `folder` named "<folder>.<suffix>".
std::vector<fs::path> FreshFolders(const fs::path& folder) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder.parent_path())) {
        if (entry.path().filename().wstring().starts_with(folder.filename().wstring() + L".")) {
            found.push_back(entry.path());
        }
    }
    return found;
}

// A folder of that name that someone else made first, and filled, is left exactly as it
// is: the client runs from a folder Varnok makes beside it, and found again there by the
// next start. Under Windows the folder's rights alone also turn it away (below).
TEST_F(ClientFolder, AFolderSomeoneElseFilledIsLeftAndAnotherOneUsed) {
    const struct {
        const char* name;
        std::function<void()> made;
    } foreign[] = {
        {"a manifest and a DLL beside the client",
         [&] {
             fs::create_directories(folder);
             std::ofstream(folder / "tftp.exe.manifest") << "<assembly/>";
             std::ofstream(folder / "version.dll") << "MZ";
         }},
        {"a folder named as the client", [&] { fs::create_directories(client); }},
        {"a folder named as its partial copy",
         [&] { fs::create_directories(folder / "tftp.exe.partial"); }},
        {"a file in its place", [&] { std::ofstream(folder) << "not a folder"; }},
    };
    for (const auto& c : foreign) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        for (const fs::path& fresh : FreshFolders(folder)) {
            fs::remove_all(fresh);
        }
        c.made();
        const auto before = fs::is_directory(folder) ? fs::recursive_directory_iterator(folder)
                                                     : fs::recursive_directory_iterator();
        const std::vector<fs::directory_entry> foreignContent(before, {});
        for (int start = 0; start < 2; ++start) {
            const std::string ran = StartFrom(folder);
            const std::vector<fs::path> fresh = FreshFolders(folder);
            ASSERT_EQ(fresh.size(), 1u) << failure; // the same one, found again
            EXPECT_NE(ran.find((fresh[0] / "tftp.exe").string()), std::string::npos) << failure;
            EXPECT_EQ(ReadFileBytes(fresh[0] / "tftp.exe"), Embedded());
            EXPECT_EQ(std::distance(fs::directory_iterator(fresh[0]), {}), 1);
        }
        const auto after = fs::is_directory(folder) ? fs::recursive_directory_iterator(folder)
                                                    : fs::recursive_directory_iterator();
        EXPECT_EQ(std::vector<fs::directory_entry>(after, {}), foreignContent);
        // Removing the program takes Varnok's folder, never the other one or what it holds.
        RemoveClientFolders(folder.wstring());
        EXPECT_TRUE(FreshFolders(folder).empty());
        EXPECT_TRUE(fs::exists(folder));
    }
    fs::remove_all(folder);
    EXPECT_NE(StartFrom(folder).find(client.string()), std::string::npos) << failure;
    RemoveClientFolders(folder.wstring());
    EXPECT_FALSE(fs::exists(folder)); // a folder Varnok made goes with its client
}

TEST_F(ClientFolder, WhileHeldForItsStartTheFileCannotBeChanged) {
    PreparedClient held = PrepareClient(folder.wstring(), EmbeddedClient(136));
    ASSERT_TRUE(held.file) << held.failure;
    std::ofstream(elsewhere.path() / "other") << "other";
    EXPECT_FALSE(OwnFile(::CreateFileW(held.path.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr)));
    EXPECT_FALSE(::MoveFileExW((elsewhere.path() / "other").c_str(), held.path.c_str(),
                               MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(::DeleteFileW(held.path.c_str()));
    held.file.reset();
    EXPECT_TRUE(::DeleteFileW(held.path.c_str()));
}

// Wine keeps no security descriptor on files: it makes one up from the Unix mode bits
// (owned by the user, never protected), so only Windows shows the rights. A folder made
// before, open to everyone, is left so; the client's own is Administrators', protected.
TEST_F(ClientFolder, ItsRightsAreProtectedAndAdministratorsOwnIt) {
    if (::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
        GTEST_SKIP() << "Wine keeps no security descriptors on files";
    }
    for (bool madeBefore : {false, true}) {
        fs::remove_all(folder);
        // By anyone, for everyone: as ProgramData lets every user make folders.
        if (madeBefore) {
            PSECURITY_DESCRIPTOR everyone = nullptr;
            ::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                L"D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &everyone, nullptr);
            const UniqueOwner<void*, FreeLocal> owned(everyone);
            SECURITY_ATTRIBUTES attributes{sizeof attributes, everyone, FALSE};
            ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), &attributes));
        }
        EXPECT_NE(StartFrom(folder), "") << failure;
        const std::vector<fs::path> fresh = FreshFolders(folder);
        ASSERT_EQ(fresh.size(), madeBefore ? 1u : 0u);
        const std::wstring rights = RightsOf(madeBefore ? fresh[0] : folder);
        EXPECT_TRUE(rights.starts_with(L"O:BAD:P")) << rights; // owner, protected rights
        EXPECT_EQ(rights.find(L";WD)"), std::wstring::npos) << rights;
        if (madeBefore) {
            EXPECT_NE(RightsOf(folder).find(L";WD)"), std::wstring::npos); // left as it was
            fs::remove_all(fresh[0]);
        }
    }
}

} // namespace
