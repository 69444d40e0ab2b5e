// The settings store: HKEY_CURRENT_USER\Software\<company>\Varnok, one subkey per
// section. Every operation opens (creating when missing) the application's key and the
// section's key first, so after the first start both sections exist. Reads fall back to
// their defaults; writes report success, which no caller needs to look at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/address.h"
#include "win32/win32.h"

// <windows.h> maps these names onto the old win.ini functions; ours are the registry's.
#undef GetProfileInt
#undef GetProfileString
#undef WriteProfileString

// Completes the settings root with the company's name ("Strandel"); start-up calls it.
void SetRegistryKey(const std::wstring& company);
// "Software\<company>\Varnok".
std::wstring SettingsRoot();

// The stored 32-bit number; `fallback` when missing or not a four-byte number.
std::uint32_t GetProfileInt(const wchar_t* section, const wchar_t* name, std::uint32_t fallback);
// The stored text; `fallback` when missing or not text.
std::wstring GetProfileString(const wchar_t* section, const wchar_t* name,
                              const std::wstring& fallback);
// An address stored as up to four bytes: they replace `address`'s octets from the first on;
// a missing value leaves it as it is, extra bytes are ignored.
IPv4Address GetProfileAddress(const wchar_t* section, const wchar_t* name, IPv4Address address);
// The stored bytes; empty when missing or not binary.
std::vector<std::uint8_t> GetProfileBinary(const wchar_t* section, const wchar_t* name);

bool WriteProfileInt(const wchar_t* section, const wchar_t* name, std::uint32_t value);
bool WriteProfileString(const wchar_t* section, const wchar_t* name, const std::wstring& text);
// Removes one value; true when it is gone (or was never there).
bool DeleteProfileValue(const wchar_t* section, const wchar_t* name);
bool WriteProfileBinary(const wchar_t* section, const wchar_t* name, const std::uint8_t* bytes,
                        std::size_t count);
