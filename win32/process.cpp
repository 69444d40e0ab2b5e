// Programs started as processes of their own, without a console window: their output read
// through an anonymous pipe as they write it (no file that anything else could open or
// rewrite), and the pipe's writing end the only handle they inherit.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/upload.h"
#include "win32/data_store.h"
#include "win32/launcher.h"

namespace {

// Enough for a program's lines between two looks; the waiting empties it as it fills.
constexpr DWORD kPipeBytes = 64 * 1024;
// How often a wait for a program looks at what it wrote.
constexpr DWORD kLookMs = 20;

// What a program writes to its output and errors, taken from the pipe while it is waited
// for, so that it never waits for room there; only the last 64 KiB are kept (only the end
// of a talkative client matters). Once the program has ended, all it wrote is in the
// pipe: no end of the pipe needs to be waited for (another process may hold it).
class Output {
public:
    explicit Output(UniqueHandle pipe) : pipe_(std::move(pipe)) {}

    // Whatever waits in the pipe, taken now.
    void Drain() {
        char chunk[4096];
        DWORD available = 0;
        while (pipe_ && ::PeekNamedPipe(pipe_.get(), nullptr, 0, nullptr, &available, nullptr) &&
               available > 0) {
            DWORD got = 0;
            if (!::ReadFile(pipe_.get(), chunk, std::min<DWORD>(available, sizeof chunk), &got,
                            nullptr) ||
                got == 0) {
                return;
            }
            bytes_.append(chunk, got);
            if (bytes_.size() > 128 * 1024) {
                bytes_.erase(0, bytes_.size() - 64 * 1024);
            }
        }
    }
    const std::string& Bytes() const { return bytes_; }

private:
    UniqueHandle pipe_;
    std::string bytes_;
};

// The pipe a program writes its output to: our reading end, and the writing end it alone
// inherits.
struct OutputPipe {
    UniqueHandle read;
    UniqueHandle write;
};

OutputPipe MakeOutputPipe() {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!::CreatePipe(&read, &write, &inherit, kPipeBytes)) {
        return {};
    }
    OutputPipe pipe{UniqueHandle(read), UniqueHandle(write)};
    // Only the writing end goes to the program.
    if (!::SetHandleInformation(pipe.read.get(), HANDLE_FLAG_INHERIT, 0)) {
        return {};
    }
    return pipe;
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
        const ULONGLONG end = ::GetTickCount64() + milliseconds;
        for (;;) {
            output_.Drain();
            const ULONGLONG now = ::GetTickCount64();
            const DWORD step =
                static_cast<DWORD>(std::min<ULONGLONG>(end > now ? end - now : 0, kLookMs));
            if (::WaitForSingleObject(process_.get(), step) == WAIT_OBJECT_0) {
                break;
            }
            if (::GetTickCount64() >= end) {
                return std::nullopt;
            }
        }
        output_.Drain();
        DWORD code = 0;
        ::GetExitCodeProcess(process_.get(), &code);
        return ClientEnd{code, LastOutputLine(output_.Bytes()), OutputText(output_.Bytes())};
    }

    // The program and whatever it started, when it runs in a job: nothing of it lands late.
    void End() override {
        if (!job_ || !::TerminateJobObject(job_.get(), 1)) {
            ::TerminateProcess(process_.get(), 1);
        }
    }

private:
    UniqueHandle process_;
    Output output_;
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
    OutputPipe output = MakeOutputPipe();
    HANDLE inherited = output.write.get();
    const InheritOnly only(inherited);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    if (output.write && only.get()) {
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdOutput = output.write.get();
        startup.StartupInfo.hStdError = output.write.get();
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
        const DWORD error = ::GetLastError();
        const long long result = StartResultOfError(error);
        if (result == 1) {
            // None of the shell's own reasons: the system's words, and its code.
            const std::wstring why =
                SystemErrorText(error) + L" (error " + std::to_wstring(error) + L")";
            log.Write(why);
            return {nullptr, why};
        }
        return {nullptr, ReportStartResult(result, log).failure};
    }
    UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
    if (job && !::AssignProcessToJobObject(job.get(), process.get())) {
        log.Write(L"the program could not be tied to Varnok's end (error " +
                  std::to_wstring(::GetLastError()) + L")");
        job.reset();
    }
    // The program holds the writing end now: ours goes.
    output.write.reset();
    ::ResumeThread(thread.get());
    UniqueHandle read = startup.lpAttributeList ? std::move(output.read) : UniqueHandle();
    return {std::make_unique<CapturedProgram>(std::move(process), std::move(read), std::move(job)),
            L""};
}

ProgramRun RunAwaited(const std::wstring& path, const std::wstring& parameters, unsigned timeoutMs,
                      Log& log) {
    // In a job of its own, so that one that runs past its time is ended with all it started
    // and changes nothing after the caller has moved on.
    const ClientStart start = StartCapturedProgram(path, parameters, log, true);
    if (!start.client) {
        return {false, start.failure, L""};
    }
    const std::optional<ClientEnd> end = start.client->Await(timeoutMs);
    if (!end) {
        start.client->End();
        log.Write(L"stopped after " + std::to_wstring(timeoutMs / 1000) + L" s: " + path + L" " +
                  parameters);
        ProgramRun late{true, L"",
                        L"it did not finish within " + std::to_wstring(timeoutMs / 1000) +
                            L" s and was ended"};
        late.ended = true;
        return late;
    }
    return {true, L"", end->lastLine};
}
