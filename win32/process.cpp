// Programs started as processes of their own, without a console window: their output kept
// in a temporary file that goes away with the last handle, and that file the only handle
// they inherit.
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

// A job that ends every process in it when its last handle closes: when Varnok ends,
// however it ends, what it started in the job ends too.
UniqueHandle EndingJob() {
    UniqueHandle job(::CreateJobObjectW(nullptr, nullptr)); // unnamed: nobody else can open it
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && !::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                          sizeof limits)) {
        job.reset();
    }
    return job;
}

class CapturedProgram : public RunningClient {
public:
    CapturedProgram(UniqueHandle process, UniqueHandle output, UniqueHandle job)
        : process_(std::move(process)), output_(std::move(output)), job_(std::move(job)) {}

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
    UniqueHandle job_; // last: closing it ends the program (when it is in one)
};

// The attribute list that hands the child `inherited` and nothing else.
class InheritOnly {
public:
    explicit InheritOnly(HANDLE& inherited) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        buffer_.resize(size);
        list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        ready_ = ::InitializeProcThreadAttributeList(list_, 1, 0, &size) &&
                 ::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                             &inherited, sizeof inherited, nullptr, nullptr);
    }
    ~InheritOnly() {
        if (ready_) {
            ::DeleteProcThreadAttributeList(list_);
        }
    }
    InheritOnly(const InheritOnly&) = delete;
    InheritOnly& operator=(const InheritOnly&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return ready_ ? list_ : nullptr; }

private:
    std::vector<unsigned char> buffer_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
    bool ready_ = false;
};

} // namespace

ClientStart StartCapturedProgram(const std::wstring& path, const std::wstring& parameters, Log& log,
                                 bool endsWithVarnok) {
    UniqueHandle output = OutputFile();
    HANDLE inherited = output.get();
    const InheritOnly only(inherited);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    if (output && only.get()) {
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdOutput = output.get();
        startup.StartupInfo.hStdError = output.get();
        startup.lpAttributeList = only.get();
    }
    // The program's own name first, quoted, as a C runtime splits the line.
    std::wstring line = L"\"" + path + L"\" " + parameters;
    std::vector<wchar_t> writable(line.begin(), line.end());
    writable.push_back(L'\0');
    UniqueHandle job = endsWithVarnok ? EndingJob() : UniqueHandle();
    const DWORD flags = CREATE_NO_WINDOW | CREATE_SUSPENDED |
                        (startup.lpAttributeList ? EXTENDED_STARTUPINFO_PRESENT : 0);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(path.c_str(), writable.data(), nullptr, nullptr,
                          startup.lpAttributeList ? TRUE : FALSE, flags, nullptr, nullptr,
                          &startup.StartupInfo, &started)) {
        const ProgramRun run = ReportStartResult(StartResultOfError(::GetLastError()), log);
        return {nullptr, run.failure};
    }
    UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
    if (job && !::AssignProcessToJobObject(job.get(), process.get())) {
        log.Write(L"the program could not be tied to Varnok's end (error " +
                  std::to_wstring(::GetLastError()) + L")");
        job.reset();
    }
    ::ResumeThread(thread.get());
    return {
        std::make_unique<CapturedProgram>(std::move(process), std::move(output), std::move(job)),
        L""};
}

ProgramRun RunAwaited(const std::wstring& path, const std::wstring& parameters, unsigned timeoutMs,
                      Log& log) {
    const ClientStart start = StartCapturedProgram(path, parameters, log, false);
    if (!start.client) {
        return {false, start.failure, L""};
    }
    const std::optional<ClientEnd> end = start.client->Await(timeoutMs);
    return {true, L"", end ? end->lastLine : L""};
}
