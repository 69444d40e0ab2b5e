// The local file a PUT reads, as far as both systems share it: the read-ahead that lets
// the sender take a block at a time without a system call per block.
#include "tftp/platform.h"

#include <algorithm>
#include <cstring>

namespace tftp::sys {

bool InputFile::Seek(std::uint64_t offset) {
    ahead_.clear();
    aheadPos_ = 0;
    return SeekSystem(offset);
}

std::ptrdiff_t InputFile::Read(std::uint8_t* buffer, std::size_t size) {
    if (aheadPos_ == ahead_.size()) {
        ahead_.resize(64 * 1024);
        aheadPos_ = 0;
        const std::ptrdiff_t n = ReadSystem(ahead_.data(), ahead_.size());
        ahead_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        if (n <= 0) {
            return n;
        }
    }
    const std::size_t count = std::min(size, ahead_.size() - aheadPos_);
    std::memcpy(buffer, ahead_.data() + aheadPos_, count);
    aheadPos_ += count;
    return static_cast<std::ptrdiff_t>(count);
}

} // namespace tftp::sys
