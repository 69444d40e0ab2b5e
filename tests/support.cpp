#include "tests/support.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

namespace testing_support {

ScopedTempDir::ScopedTempDir() : previous_(std::filesystem::current_path()) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    dir_ = std::filesystem::temp_directory_path() /
           ("varnok-test-" + std::to_string(random()) + "-" + std::to_string(++counter));
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
}

ScopedTempDir::~ScopedTempDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir_, ignored);
}

std::string ReadFileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

IPv4Address Addr(const char* dotted) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    std::sscanf(dotted, "%u.%u.%u.%u", &a, &b, &c, &d);
    IPv4Address address;
    address.octet = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                     static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(d)};
    return address;
}

std::size_t CountOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace testing_support
