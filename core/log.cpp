// The diagnostic log's entries.
#include "core/log.h"

#include "core/data_store.h"

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

void Log::Write(const std::wstring& text) {
    if (!file_) {
        return;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    file_->Append(LogEntryBytes(text));
}
