// The settings store over the registry: HKEY_CURRENT_USER\Software\<company>\Varnok, one
// subkey per section. Every operation opens (creating when missing) the application's key
// and the section's key first, so after the first start both sections exist.
#pragma once

#include <string>

#include "core/settings.h"

class RegistrySettings : public Settings {
public:
    // Under "Software\<company>\Varnok" ("Strandel").
    explicit RegistrySettings(std::wstring company) : company_(std::move(company)) {}

    std::uint32_t Int(const wchar_t* section, const wchar_t* name, std::uint32_t fallback) override;
    std::wstring Text(const wchar_t* section, const wchar_t* name,
                      const std::wstring& fallback) override;
    std::vector<std::uint8_t> Bytes(const wchar_t* section, const wchar_t* name) override;
    bool PutInt(const wchar_t* section, const wchar_t* name, std::uint32_t value) override;
    bool PutText(const wchar_t* section, const wchar_t* name, const std::wstring& text) override;
    bool PutBytes(const wchar_t* section, const wchar_t* name,
                  const std::vector<std::uint8_t>& bytes) override;
    bool Remove(const wchar_t* section, const wchar_t* name) override;

    // "Software\<company>\Varnok".
    std::wstring Root() const;

private:
    // The value's type and bytes, if it can be read at all.
    bool ReadValue(const wchar_t* section, const wchar_t* name, unsigned long& type,
                   std::vector<std::uint8_t>& bytes) const;
    bool WriteValue(const wchar_t* section, const wchar_t* name, unsigned long type,
                    const void* bytes, std::size_t count) const;

    std::wstring company_;
};
