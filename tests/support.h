// Helpers shared by the test suites.
#pragma once

#include <filesystem>
#include <string>

#include "core/address.h"

namespace testing_support {

// Makes a fresh empty directory and makes it the current one for the scope's life.
class ScopedTempDir {
public:
    ScopedTempDir();
    ~ScopedTempDir();
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;
    const std::filesystem::path& path() const { return dir_; }

private:
    std::filesystem::path previous_;
    std::filesystem::path dir_;
};

// Whole file as bytes; empty when it does not exist.
std::string ReadFileBytes(const std::filesystem::path& file);

// How often `part` stands in `text`.
std::size_t CountOf(const std::string& text, const std::string& part);

// "192.168.1.10" -> octets; the tests' literals are always well formed.
IPv4Address Addr(const char* dotted);

} // namespace testing_support
