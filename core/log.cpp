// Diagnostic log. Portable: on Windows the file is opened with _wfsopen(_SH_DENYNO),
// elsewhere with fopen, both in binary mode so the CR LF written is exactly what lands.
#include "core/log.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>

#ifdef _WIN32
#include <share.h>
#endif

namespace {

std::atomic<bool> debugFlag = false;
// Entries come from the window's thread and from the commissioning worker.
std::mutex fileMutex;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenLogForAppend() {
#ifdef _WIN32
    return File(_wfsopen(L"./varnok.log", L"ab", _SH_DENYNO));
#else
    return File(std::fopen("./varnok.log", "ab"));
#endif
}

} // namespace

void SetDebugFlag() {
    debugFlag = true;
}

bool GetDebugFlag() {
    return debugFlag;
}

void ClearDebugFlagForTesting() {
    debugFlag = false;
}

std::string LogEntryBytes(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size() + 2);
    for (wchar_t c : text) {
        // All logged texts are ASCII; anything beyond one byte is shown as '?'
        // rather than cut to its low byte, which could forge a CR or LF.
        bytes.push_back(static_cast<unsigned long>(c) <= 0xFF ? static_cast<char>(c) : '?');
    }
    bytes += "\r\n";
    return bytes;
}

void WriteLogLine(const std::wstring& text) {
    if (!debugFlag) {
        return;
    }
    const std::lock_guard<std::mutex> lock(fileMutex);
    File file = OpenLogForAppend();
    if (!file) {
        return;
    }
    const std::string bytes = LogEntryBytes(text);
    std::fwrite(bytes.data(), 1, bytes.size(), file.get());
    std::fflush(file.get());
}
