// Registry helpers for the page tests: a clean settings key, and values of any type.
#pragma once

#include <string>
#include <vector>

#include "win32/win32.h"

namespace testing_support {

constexpr wchar_t kSettingsKey[] = L"Software\\Strandel\\Varnok";

inline void DeleteSettings() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
}

inline void PutValue(const wchar_t* section, const wchar_t* name, DWORD type,
                     const std::vector<BYTE>& bytes) {
    const std::wstring path = std::wstring(kSettingsKey) + L"\\" + section;
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr);
    ::RegSetValueExW(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    ::RegCloseKey(key);
}

struct StoredValue {
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> bytes;
};

inline StoredValue GetValue(const wchar_t* section, const wchar_t* name) {
    const std::wstring path = std::wstring(kSettingsKey) + L"\\" + section;
    StoredValue value;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return value;
    }
    DWORD size = 0;
    if (::RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.bytes.resize(size);
        ::RegQueryValueExW(key, name, nullptr, &value.type, value.bytes.data(), &size);
        value.present = true;
    }
    ::RegCloseKey(key);
    return value;
}

inline bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(key);
    return true;
}

inline std::vector<BYTE> WideBytes(const std::wstring& text) {
    const BYTE* p = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(p, p + (text.size() + 1) * sizeof(wchar_t));
}

} // namespace testing_support
