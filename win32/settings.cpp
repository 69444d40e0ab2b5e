// The settings store over the registry.
#include "win32/settings.h"

#include <cstring>
#include <cwchar>

namespace {

// The application's name. Fixed rather than taken from the executable's file name, so a
// renamed copy ("Varnok (1).exe") still finds the technician's settings.
constexpr wchar_t kApplication[] = L"Varnok";

std::wstring company = L"Strandel";

UniqueKey OpenSection(const wchar_t* section) {
    const std::wstring path = SettingsRoot() + L"\\" + section;
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return UniqueKey();
    }
    return UniqueKey(key);
}

// The value's type and bytes, if it can be read at all.
bool ReadValue(const wchar_t* section, const wchar_t* name, DWORD& type,
               std::vector<std::uint8_t>& bytes) {
    const UniqueKey key = OpenSection(section);
    if (!key) {
        return false;
    }
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return false;
    }
    bytes.assign(size, 0);
    if (::RegQueryValueExW(key.get(), name, nullptr, &type, bytes.data(), &size) != ERROR_SUCCESS) {
        return false;
    }
    bytes.resize(size);
    return true;
}

bool WriteValue(const wchar_t* section, const wchar_t* name, DWORD type, const void* bytes,
                std::size_t count) {
    const UniqueKey key = OpenSection(section);
    return key && ::RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(bytes),
                                   static_cast<DWORD>(count)) == ERROR_SUCCESS;
}

} // namespace

void SetRegistryKey(const std::wstring& name) {
    company = name;
}

std::wstring SettingsRoot() {
    return L"Software\\" + company + L"\\" + kApplication;
}

std::uint32_t GetProfileInt(const wchar_t* section, const wchar_t* name, std::uint32_t fallback) {
    DWORD type = 0;
    std::vector<std::uint8_t> bytes;
    if (!ReadValue(section, name, type, bytes) || type != REG_DWORD || bytes.size() != 4) {
        return fallback;
    }
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::wstring GetProfileString(const wchar_t* section, const wchar_t* name,
                              const std::wstring& fallback) {
    DWORD type = 0;
    std::vector<std::uint8_t> bytes;
    if (!ReadValue(section, name, type, bytes) || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return fallback;
    }
    // Stored text need not end in a NUL, nor be of even length: take whole characters
    // up to the first NUL.
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    text.resize(std::wcslen(text.c_str()));
    return text;
}

std::vector<std::uint8_t> GetProfileBinary(const wchar_t* section, const wchar_t* name) {
    DWORD type = 0;
    std::vector<std::uint8_t> bytes;
    if (!ReadValue(section, name, type, bytes) || type != REG_BINARY) {
        return {};
    }
    return bytes;
}

bool WriteProfileInt(const wchar_t* section, const wchar_t* name, std::uint32_t value) {
    const DWORD dword = value;
    return WriteValue(section, name, REG_DWORD, &dword, sizeof dword);
}

bool WriteProfileString(const wchar_t* section, const wchar_t* name, const std::wstring& text) {
    return WriteValue(section, name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

bool WriteProfileBinary(const wchar_t* section, const wchar_t* name, const std::uint8_t* bytes,
                        std::size_t count) {
    return WriteValue(section, name, REG_BINARY, bytes, count);
}

bool DeleteProfileValue(const wchar_t* section, const wchar_t* name) {
    const UniqueKey key = OpenSection(section);
    if (!key) {
        return false;
    }
    const LSTATUS status = ::RegDeleteValueW(key.get(), name);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

IPv4Address GetProfileAddress(const wchar_t* section, const wchar_t* name, IPv4Address address) {
    const std::vector<std::uint8_t> bytes = GetProfileBinary(section, name);
    for (std::size_t i = 0; i < bytes.size() && i < address.octet.size(); ++i) {
        address.octet[i] = bytes[i];
    }
    return address;
}
