// SHA-256 (FIPS 180-4), so that the record can name exactly which image a unit was sent.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

class Sha256 {
public:
    void Update(const void* data, std::size_t size);
    // The digest of all bytes given so far; the object then starts afresh.
    std::array<std::uint8_t, 32> Finish();

private:
    void Compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::array<std::uint8_t, 64> block_{};
    std::size_t filled_ = 0;   // bytes waiting in block_
    std::uint64_t length_ = 0; // bytes given so far
};

// 64 lowercase hex digits.
std::string HexDigest(const std::array<std::uint8_t, 32>& digest);
