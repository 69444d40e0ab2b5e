// The settings store over the registry.
#include "win32/registry_settings.h"

#include <cstring>
#include <cwchar>

#include "win32/win32.h"

namespace {

// The application's name. Fixed rather than taken from the executable's file name, so a
// renamed copy ("Varnok (1).exe") still finds the technician's settings.
constexpr wchar_t kApplication[] = L"Varnok";

// A section opened for reading only; nothing is made when it is missing.
UniqueKey OpenSectionToRead(const std::wstring& root, const wchar_t* section) {
    const std::wstring path = root + L"\\" + section;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return UniqueKey();
    }
    return UniqueKey(key);
}

// A section opened to set values, made when missing.
UniqueKey OpenSectionToWrite(const std::wstring& root, const wchar_t* section) {
    const std::wstring path = root + L"\\" + section;
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return UniqueKey();
    }
    return UniqueKey(key);
}

} // namespace

std::wstring RegistrySettings::Root() const {
    return L"Software\\" + company_ + L"\\" + kApplication;
}

bool RegistrySettings::ReadValue(const wchar_t* section, const wchar_t* name, unsigned long& type,
                                 std::vector<std::uint8_t>& bytes) const {
    const UniqueKey key = OpenSectionToRead(Root(), section);
    if (!key) {
        return false;
    }
    DWORD size = 0;
    DWORD kind = 0;
    if (::RegQueryValueExW(key.get(), name, nullptr, &kind, nullptr, &size) != ERROR_SUCCESS) {
        return false;
    }
    bytes.assign(size, 0);
    if (::RegQueryValueExW(key.get(), name, nullptr, &kind, bytes.data(), &size) != ERROR_SUCCESS) {
        return false;
    }
    bytes.resize(size);
    type = kind;
    return true;
}

bool RegistrySettings::WriteValue(const wchar_t* section, const wchar_t* name, unsigned long type,
                                  const void* bytes, std::size_t count) const {
    const UniqueKey key = OpenSectionToWrite(Root(), section);
    return key && ::RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(bytes),
                                   static_cast<DWORD>(count)) == ERROR_SUCCESS;
}

std::uint32_t RegistrySettings::Int(const wchar_t* section, const wchar_t* name,
                                    std::uint32_t fallback) {
    unsigned long type = 0;
    std::vector<std::uint8_t> bytes;
    if (!ReadValue(section, name, type, bytes) || type != REG_DWORD || bytes.size() != 4) {
        return fallback;
    }
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::wstring RegistrySettings::Text(const wchar_t* section, const wchar_t* name,
                                    const std::wstring& fallback) {
    unsigned long type = 0;
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

std::vector<std::uint8_t> RegistrySettings::Bytes(const wchar_t* section, const wchar_t* name) {
    unsigned long type = 0;
    std::vector<std::uint8_t> bytes;
    if (!ReadValue(section, name, type, bytes) || type != REG_BINARY) {
        return {};
    }
    return bytes;
}

bool RegistrySettings::PutInt(const wchar_t* section, const wchar_t* name, std::uint32_t value) {
    const DWORD dword = value;
    return WriteValue(section, name, REG_DWORD, &dword, sizeof dword);
}

bool RegistrySettings::PutText(const wchar_t* section, const wchar_t* name,
                               const std::wstring& text) {
    return WriteValue(section, name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

bool RegistrySettings::PutBytes(const wchar_t* section, const wchar_t* name,
                                const std::vector<std::uint8_t>& bytes) {
    return WriteValue(section, name, REG_BINARY, bytes.data(), bytes.size());
}

bool RegistrySettings::Remove(const wchar_t* section, const wchar_t* name) {
    // A missing section is not made just to find nothing in it.
    const std::wstring path = Root() + L"\\" + section;
    HKEY opened = nullptr;
    LSTATUS status = ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &opened);
    if (status == ERROR_SUCCESS) {
        const UniqueKey key(opened);
        status = ::RegDeleteValueW(key.get(), name);
    }
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}
