// The technician's settings, kept between runs in sections of named values: the address
// page's last values, the update page's paths, the adapter chosen last. Windows keeps
// them under HKEY_CURRENT_USER\Software\<company>\Varnok (win32/registry_settings.h).
// Reads fall back to their defaults; writes report success, which no caller needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/address.h"

class Settings {
public:
    virtual ~Settings() = default;

    // The stored 32-bit number; `fallback` when missing or not a four-byte number.
    virtual std::uint32_t Int(const wchar_t* section, const wchar_t* name,
                              std::uint32_t fallback) = 0;
    // The stored text; `fallback` when missing or not text.
    virtual std::wstring Text(const wchar_t* section, const wchar_t* name,
                              const std::wstring& fallback) = 0;
    // The stored bytes; empty when missing or not binary.
    virtual std::vector<std::uint8_t> Bytes(const wchar_t* section, const wchar_t* name) = 0;

    virtual bool PutInt(const wchar_t* section, const wchar_t* name, std::uint32_t value) = 0;
    virtual bool PutText(const wchar_t* section, const wchar_t* name, const std::wstring& text) = 0;
    virtual bool PutBytes(const wchar_t* section, const wchar_t* name,
                          const std::vector<std::uint8_t>& bytes) = 0;
    // Removes one value; true when it is gone (or was never there).
    virtual bool Remove(const wchar_t* section, const wchar_t* name) = 0;

    // An address stored as up to four bytes: they replace `address`'s octets from the first
    // on; a missing value leaves it as it is, extra bytes are ignored.
    IPv4Address Address(const wchar_t* section, const wchar_t* name, IPv4Address address);
    bool PutAddress(const wchar_t* section, const wchar_t* name, const IPv4Address& address);
};
