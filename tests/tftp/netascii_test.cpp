// Netascii through the state machine, with blocks small enough for every pair to land on
// a block boundary somewhere.
#include "tftp/netascii.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using tftp::NetasciiDecoder;
using tftp::NetasciiEncoder;

// Encodes text in blocks of block bytes, each input chunk of chunk bytes.
std::string EncodeInBlocks(const std::string& text, std::size_t block, std::size_t chunk,
                           std::string* boundaries = nullptr) {
    NetasciiEncoder e;
    std::string wire;
    std::size_t pos = 0;
    for (;;) {
        std::vector<std::uint8_t> out;
        while (out.size() < block) {
            const std::size_t n = std::min(chunk, text.size() - pos);
            pos +=
                e.Encode(reinterpret_cast<const std::uint8_t*>(text.data() + pos), n, out, block);
            if (pos == text.size() && e.Flush(out, block)) {
                break;
            }
        }
        wire.append(out.begin(), out.end());
        if (boundaries != nullptr) {
            boundaries->push_back(static_cast<char>(out.size()));
        }
        if (out.size() < block) {
            return wire;
        }
    }
}

std::string DecodeInPieces(const std::string& wire, std::size_t piece) {
    NetasciiDecoder d;
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < wire.size(); i += piece) {
        const std::size_t n = std::min(piece, wire.size() - i);
        d.Decode(reinterpret_cast<const std::uint8_t*>(wire.data() + i), n, out);
    }
    d.Finish(out);
    return std::string(out.begin(), out.end());
}

TEST(Netascii, EncodesLineEndsAndLoneCarriageReturns) {
    const struct {
        std::string local, wire;
    } cases[] = {
        {"a\nb", "a\r\nb"},
        {"a\r\nb", std::string("a\r\0\r\nb", 6)},
        {"a\rb", std::string("a\r\0b", 4)},
        {"\r", std::string("\r\0", 2)},
        {"\n\n", "\r\n\r\n"},
        {"plain", "plain"},
        {"", ""},
    };
    for (const auto& c : cases) {
        for (std::size_t block : {1u, 2u, 3u, 512u}) {
            EXPECT_EQ(EncodeInBlocks(c.local, block, 1), c.wire) << block;
            EXPECT_EQ(EncodeInBlocks(c.local, block, 4096), c.wire) << block;
        }
        for (std::size_t piece : {1u, 2u, 3u, 512u}) {
            EXPECT_EQ(DecodeInPieces(c.wire, piece), c.local) << piece;
        }
    }
}

TEST(Netascii, BlocksAreFullUntilTheLast) {
    std::string sizes;
    EncodeInBlocks("\n\n\n\r", 3, 1, &sizes); // 8 wire bytes: 3 + 3 + 2
    EXPECT_EQ(sizes, std::string("\x03\x03\x02"));
    sizes.clear();
    EncodeInBlocks("\n\n\n", 3, 2, &sizes); // 6 wire bytes: 3 + 3 + an empty last block
    EXPECT_EQ(sizes, std::string("\x03\x03\x00", 3));
}

TEST(Netascii, RoundTripAtEveryBlockSize) {
    const std::string text = "unix\nwindows\r\nlone\rcr\r\r\n\n\rend\r";
    for (std::size_t block = 1; block <= 40; ++block) {
        EXPECT_EQ(DecodeInPieces(EncodeInBlocks(text, block, 3), block), text) << block;
    }
}

TEST(Netascii, ToleratesCarriageReturnWithoutPartner) {
    EXPECT_EQ(DecodeInPieces("a\rb", 1), "a\rb");
    EXPECT_EQ(DecodeInPieces("a\r", 1), "a\r");
    EXPECT_EQ(DecodeInPieces("\r\r\n", 1), "\r\n");
}

} // namespace
