// The TFTP client as a process of its own: started without a console window, its output
// kept in a temporary file that goes away with the last handle.
#include <memory>
#include <string>
#include <vector>

#include "core/upload.h"
#include "win32/launcher.h"

namespace {

// A temporary file the child writes through an inherited handle; deleted when closed.
UniqueHandle OutputFile() {
    wchar_t directory[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, directory);
    if (n == 0 || n > MAX_PATH || !::GetTempFileNameW(directory, L"vnk", 0, name)) {
        return {};
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return OwnFile(::CreateFileW(
        name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

// The output of an ended program: the file from its beginning (the child shared our
// handle's file position).
std::string ReadAll(HANDLE file) {
    std::string bytes;
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
        return bytes;
    }
    char chunk[4096];
    DWORD got = 0;
    // Only the end matters; keep the last 64 KiB of a talkative client.
    while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        bytes.append(chunk, got);
        if (bytes.size() > 128 * 1024) {
            bytes.erase(0, bytes.size() - 64 * 1024);
        }
    }
    return bytes;
}

class CapturedProgram : public RunningClient {
public:
    CapturedProgram(UniqueHandle process, UniqueHandle output)
        : process_(std::move(process)), output_(std::move(output)) {}

    std::optional<ClientEnd> Await(unsigned milliseconds) override {
        if (::WaitForSingleObject(process_.get(), milliseconds) != WAIT_OBJECT_0) {
            return std::nullopt;
        }
        DWORD code = 0;
        ::GetExitCodeProcess(process_.get(), &code);
        const std::string output = output_ ? ReadAll(output_.get()) : std::string();
        return ClientEnd{code, LastOutputLine(output), OutputText(output)};
    }

    void End() override { ::TerminateProcess(process_.get(), 1); }

private:
    UniqueHandle process_;
    UniqueHandle output_;
};

} // namespace

ClientStart StartCapturedProgram(const std::wstring& path, const std::wstring& parameters,
                                 Log& log) {
    UniqueHandle output = OutputFile();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nullptr;
        startup.hStdOutput = output.get();
        startup.hStdError = output.get();
    }
    // The program's own name first, quoted, as a C runtime splits the line.
    std::wstring line = L"\"" + path + L"\" " + parameters;
    std::vector<wchar_t> writable(line.begin(), line.end());
    writable.push_back(L'\0');
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(path.c_str(), writable.data(), nullptr, nullptr, output ? TRUE : FALSE,
                          CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started)) {
        const ProgramRun run = ReportStartResult(StartResultOfError(::GetLastError()), log);
        return {nullptr, run.failure};
    }
    UniqueHandle thread(started.hThread);
    return {std::make_unique<CapturedProgram>(UniqueHandle(started.hProcess), std::move(output)),
            L""};
}
