// Varnok.exe as a whole, started as its own process: the embedded client, the "debug"
// argument, the end of the process when its window closes, and its command line.
#include <windows.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support.h"
#include "win32/win32.h"

namespace {

using namespace testing_support;

std::filesystem::path BuildDirectory() {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::filesystem::path(self).parent_path().parent_path(); // tests/ is below it
}

// The TFTP client inside Varnok.exe: its resource "EXE" 136, read from the file.
std::string CarriedClient() {
    const UniqueModule program(
        ::LoadLibraryExW((BuildDirectory() / "Varnok.exe").c_str(), nullptr,
                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    const HRSRC found =
        program ? ::FindResourceW(program.get(), MAKEINTRESOURCEW(136), L"EXE") : nullptr;
    const HGLOBAL loaded = found ? ::LoadResource(program.get(), found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, ::SizeofResource(program.get(), found)) : std::string();
}

// Waits up to `ms` for a visible top-level window of that class and title.
HWND WaitForWindow(const wchar_t* cls, const wchar_t* title, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        HWND window = ::FindWindowW(cls, title);
        if (window && ::IsWindowVisible(window)) {
            return window;
        }
        ::Sleep(50);
    }
    return nullptr;
}

HWND FindControl(HWND main, int id) {
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    ::EnumChildWindows(
        main,
        [](HWND child, LPARAM p) {
            auto* s = reinterpret_cast<Search*>(p);
            if (::GetDlgCtrlID(child) == s->id) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class Program : public ::testing::Test {
protected:
    // Starts Varnok.exe with `arguments` in the test's own current directory.
    void Start(const std::wstring& arguments) {
        std::wstring commandLine =
            L"\"" + (BuildDirectory() / "Varnok.exe").wstring() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                     nullptr, nullptr, &startup, &info));
        process_.reset(info.hProcess);
        UniqueHandle thread(info.hThread);
        main_ = WaitForWindow(L"#32770", L"Varnok 2.6", 20000);
        ASSERT_NE(main_, nullptr);
    }
    // "Update" on the update page with no unit addressed: a box that is also logged.
    std::wstring ClickUpdateAndReadTheBox() {
        ::PostMessageW(FindControl(main_, 1026), BM_CLICK, 0, 0);
        HWND box = WaitForWindow(L"#32770", L"Varnok message", 10000);
        if (!box) {
            return L"<no box>";
        }
        wchar_t text[256] = {};
        ::GetDlgItemTextW(box, 0xFFFF, text, 256);
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        return text;
    }
    DWORD CloseAndWait() {
        ::PostMessageW(main_, WM_CLOSE, 0, 0);
        if (::WaitForSingleObject(process_.get(), 15000) != WAIT_OBJECT_0) {
            ::TerminateProcess(process_.get(), 99);
            return 99;
        }
        DWORD code = 0;
        ::GetExitCodeProcess(process_.get(), &code);
        return code;
    }

    ScopedTempDir dir;
    UniqueHandle process_;
    HWND main_ = nullptr;
};

TEST_F(Program, CarriesTheBuiltClientAndEndsWhenItsWindowCloses) {
    EXPECT_EQ(CarriedClient(), ReadFileBytes(BuildDirectory() / "tftp" / "tftp.exe"));
    Start(L"");
    EXPECT_EQ(ClickUpdateAndReadTheBox(), L"IP address is missing");
    EXPECT_EQ(CloseAndWait(), 0u);
    EXPECT_FALSE(std::filesystem::exists("tftp.exe"));   // nothing in the current folder
    EXPECT_FALSE(std::filesystem::exists("varnok.log")); // no "debug": no log
}

// The one version number (the project's) in the version resource and the manifest.
TEST(ProgramFile, CarriesTheProjectsVersionInItsVersionResourceAndManifest) {
    const std::wstring path = (BuildDirectory() / "Varnok.exe").wstring();
    std::string info(::GetFileVersionInfoSizeW(path.c_str(), nullptr), '\0');
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(
        ::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    const std::string version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(LOWORD(fixed->dwFileVersionMS));
    EXPECT_EQ(version, VARNOK_PROJECT_VERSION);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);

    const UniqueModule program(::LoadLibraryExW(
        path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    const HRSRC found = ::FindResourceW(program.get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    const char* bytes =
        static_cast<const char*>(::LockResource(::LoadResource(program.get(), found)));
    const std::string manifest(bytes, ::SizeofResource(program.get(), found));
    EXPECT_NE(manifest.find("name=\"Strandel.Varnok\" version=\"" + version + ".0.0\""),
              std::string::npos);
}

TEST_F(Program, DebugInAnyCaseTurnsTheLogOn) {
    Start(L"DeBuG");
    EXPECT_EQ(ClickUpdateAndReadTheBox(), L"IP address is missing");
    EXPECT_EQ(CloseAndWait(), 0u);
    EXPECT_EQ(ReadFileBytes("varnok.log"), "IP address is missing\r\n");
}

// Varnok.exe with `arguments`, its standard output and error caught in one pipe.
struct CommandRun {
    DWORD code = 99;
    std::string output;
};
CommandRun RunCommandLine(const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    CommandRun run;
    if (!::CreatePipe(&read, &write, &inherit, 0)) {
        return run;
    }
    UniqueHandle reader(read);
    UniqueHandle writer(write);
    ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    std::wstring commandLine =
        L"\"" + (BuildDirectory() / "Varnok.exe").wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = write;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &info)) {
        return run;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    writer.reset(); // the pipe ends when the program's copy closes
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        run.output.append(buffer, got);
    }
    if (::WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0) {
        ::GetExitCodeProcess(process.get(), &run.code);
    }
    return run;
}

// Commands it refuses before anything runs: exit code 2 and why, while a window is open
// (the command line is not a second window to be sent to the first one). Words that are no
// command's verb open the window, as they always did: here they bring the open one to the
// front and end.
TEST_F(Program, CommandLinesItCannotRunSayWhyWithExitCodeTwo) {
    Start(L"");
    static const struct {
        const wchar_t* arguments;
        DWORD code;
        const char* says;
    } kRuns[] = {
        {L"frobnicate", 0, ""},
        {L"first DeBuG last", 0, ""},
        {L"-debug debug=1", 0, ""},
        {L"/?", 2, "Usage:"},
        {L"apply 1234 10.0.0.5 255.255.255.0", 2, "Usage:"},
        {L"apply 1234 127.0.0.5 255.0.0.0 0.0.0.0", 2, "loopback"},
        {L"apply 12a4 10.0.0.5 255.255.255.0 0.0.0.0", 2, "serial \"12a4\" is not 4 or 5 digits"},
        {L"apply abcd 10.0.0.5 255.255.255.0 0.0.0.0", 2, "serial \"abcd\" is not 4 or 5 digits"},
        {L"apply-list \"no such file.csv\"", 2, "no such file.csv cannot be read"},
        {L"upload 10.0.0.5 \"no such image.bin\"", 1,
         "10.0.0.5 no such image.bin FAILED File not found\r\n"},
    };
    for (const auto& each : kRuns) {
        const CommandRun run = RunCommandLine(each.arguments);
        EXPECT_EQ(run.code, each.code) << ::testing::PrintToString(std::wstring(each.arguments));
        EXPECT_NE(run.output.find(each.says), std::string::npos) << run.output;
    }
    EXPECT_NE(::FindWindowW(L"#32770", L"Varnok 2.6"), nullptr);
    EXPECT_EQ(CloseAndWait(), 0u);
}

TEST_F(Program, ASecondStartShowsTheFirstWindowAndEnds) {
    Start(L"");
    const HWND first = main_;
    std::wstring commandLine = L"\"" + (BuildDirectory() / "Varnok.exe").wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &info));
    UniqueHandle second(info.hProcess);
    UniqueHandle thread(info.hThread);
    ASSERT_EQ(::WaitForSingleObject(second.get(), 15000), WAIT_OBJECT_0);
    DWORD code = 1;
    ::GetExitCodeProcess(second.get(), &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(::FindWindowW(L"#32770", L"Varnok 2.6"), first);
    EXPECT_EQ(::FindWindowExW(nullptr, first, L"#32770", L"Varnok 2.6"), nullptr); // one only
    EXPECT_EQ(CloseAndWait(), 0u);
}

} // namespace
