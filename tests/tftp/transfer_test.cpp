// The transfer state machine against hand-built packets: no sockets, no clock.
#include "tftp/transfer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace tftp;
using Bytes = std::vector<std::uint8_t>;

Peer At(std::uint8_t lastOctet, std::uint16_t port) {
    Peer p;
    p.address = {10, 0, 0, lastOctet};
    p.port = port;
    return p;
}

const Peer kServer = At(1, 69);
const Peer kTid = At(1, 3000);
const Peer kOtherPort = At(1, 3001);
const Peer kOtherHost = At(2, 3000);

Bytes B(std::initializer_list<int> bytes) {
    Bytes b;
    for (int v : bytes) {
        b.push_back(static_cast<std::uint8_t>(v));
    }
    return b;
}
Bytes Ack(unsigned n) {
    return B({0, 4, int(n >> 8), int(n & 0xff)});
}
Bytes Data(unsigned n, const std::string& payload) {
    Bytes b = B({0, 3, int(n >> 8), int(n & 0xff)});
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}
Bytes Error(int code, const std::string& text) {
    Bytes b = B({0, 5, 0, code});
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
    return b;
}
// "name\0value\0..." after opcode 6; the text is given with '|' for each NUL.
Bytes Oack(const std::string& fields) {
    Bytes b = B({0, 6});
    for (char c : fields) {
        b.push_back(c == '|' ? 0 : static_cast<std::uint8_t>(c));
    }
    return b;
}
Bytes Text(const std::string& s) {
    Bytes b;
    for (char c : s) {
        b.push_back(c == '|' ? 0 : static_cast<std::uint8_t>(c));
    }
    return b;
}

class MemorySource : public DataSource {
public:
    std::string data;
    std::size_t pos = 0;
    bool Seek(std::uint64_t offset) override {
        pos = static_cast<std::size_t>(offset);
        return pos <= data.size();
    }
    std::ptrdiff_t Read(std::uint8_t* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, data.size() - pos);
        std::memcpy(buffer, data.data() + pos, n);
        pos += n;
        return static_cast<std::ptrdiff_t>(n);
    }
};

class MemorySink : public DataSink {
public:
    std::string data;
    bool fail = false;
    bool Write(const std::uint8_t* d, std::size_t n) override {
        data.append(reinterpret_cast<const char*>(d), n);
        return !fail;
    }
};

struct Rig {
    Settings settings;
    MemorySource source;
    MemorySink sink;
    std::unique_ptr<Transfer> t;
    Millis now = 0;

    explicit Rig(Direction d, std::string content = "", Mode m = Mode::Octet) {
        settings.direction = d;
        settings.mode = m;
        // From a string, not the literal: MinGW's g++ 12 warns (-Wrestrict) about the
        // literal's assignment inlined here, wrongly.
        settings.remoteName = std::string("f");
        settings.server = kServer;
        source.data = std::move(content);
        settings.localSize = source.data.size();
    }
    std::vector<Datagram> Start() {
        t = std::make_unique<Transfer>(settings, &source, &sink);
        t->Start(now);
        return t->TakeOutgoing();
    }
    std::vector<Datagram> Feed(const Peer& from, const Bytes& b) {
        t->Receive(now, from, b.data(), b.size());
        return t->TakeOutgoing();
    }
    // Moves the clock to the next deadline and fires it.
    std::vector<Datagram> Expire() {
        now = t->Deadline();
        t->Tick(now);
        return t->TakeOutgoing();
    }
};

Bytes Only(const std::vector<Datagram>& out, const Peer& to) {
    EXPECT_EQ(out.size(), 1u);
    if (out.size() != 1) {
        return {};
    }
    EXPECT_EQ(out[0].to, to);
    return out[0].bytes;
}

TEST(Request, BytesOnTheWire) {
    const struct {
        Direction direction;
        Mode mode;
        std::uint16_t blockSize, windowSize;
        bool tsize;
        const char* expected; // '|' stands for NUL, after the opcode
        int opcode;
    } cases[] = {
        {Direction::Put, Mode::Octet, 0, 0, false, "f|octet|", 2},
        {Direction::Get, Mode::Netascii, 0, 0, false, "f|netascii|", 1},
        {Direction::Put, Mode::Octet, 1468, 16, true, "f|octet|blksize|1468|tsize|3|windowsize|16|",
         2},
        {Direction::Get, Mode::Octet, 0, 0, true, "f|octet|tsize|0|", 1},
        // tsize means nothing for netascii: not asked for there
        {Direction::Get, Mode::Netascii, 0, 0, true, "f|netascii|", 1},
    };
    for (const auto& c : cases) {
        Rig rig(c.direction, "abc", c.mode);
        rig.settings.blockSize = c.blockSize;
        rig.settings.windowSize = c.windowSize;
        rig.settings.tsize = c.tsize;
        Bytes expected = B({0, c.opcode});
        const Bytes rest = Text(c.expected);
        expected.insert(expected.end(), rest.begin(), rest.end());
        EXPECT_EQ(Only(rig.Start(), kServer), expected) << c.expected;
    }
}

TEST(Request, NeverLongerThan512Bytes) {
    Rig fits(Direction::Put), tooLong(Direction::Put);
    fits.settings.remoteName = std::string(491, 'n'); // 2+492+6 = 500; 13 more for blksize
    fits.settings.blockSize = 1024;
    EXPECT_EQ(Only(fits.Start(), kServer).size(), 500u);
    tooLong.settings.remoteName = std::string(504, 'n');
    EXPECT_TRUE(tooLong.Start().empty());
    EXPECT_EQ(tooLong.t->Result(), TransferResult::Failed);
}

TEST(Tid, LocksOntoFirstReplyAndAnswersStrangersWithError5) {
    Rig rig(Direction::Put, std::string(1000, 'x'));
    rig.Start();
    // Not the server's host: refused, and still waiting for the real answer.
    EXPECT_EQ(Only(rig.Feed(kOtherHost, Ack(0)), kOtherHost), Error(5, "Unknown transfer ID"));
    EXPECT_EQ(Only(rig.Feed(kTid, Ack(0)), kTid).size(), 4u + 512);
    EXPECT_EQ(Only(rig.Feed(kOtherPort, Ack(1)), kOtherPort), Error(5, "Unknown transfer ID"));
    EXPECT_EQ(Only(rig.Feed(kOtherHost, Ack(1)), kOtherHost), Error(5, "Unknown transfer ID"));
    EXPECT_TRUE(rig.Feed(kOtherPort, Error(0, "x")).empty()); // an ERROR is never answered
    EXPECT_EQ(Only(rig.Feed(kTid, Ack(1)), kTid), Data(2, std::string(488, 'x')));
    rig.Feed(kTid, Ack(2));
    EXPECT_EQ(rig.t->Result(), TransferResult::Succeeded);
}

TEST(Tid, ServerErrorEndsTransferWithoutAnswer) {
    const struct {
        Bytes packet;
        const char* message;
    } cases[] = {
        {Error(2, "Access violation"), "Error on server: Access violation"},
        {B({0, 5, 0, 1}), "Error on server: error code 1"},             // no text at all
        {B({0, 5, 0, 3, 'f', 'u', 'l', 'l'}), "Error on server: full"}, // no NUL
        {B({0, 5, 0, 0, 'a', 0x1b, '[', '2', 'J', 0}), "Error on server: a?[2J"},
        {B({0, 5}), "Error on server: error code 0"},
    };
    for (const auto& c : cases) {
        Rig rig(Direction::Get);
        rig.Start();
        EXPECT_TRUE(rig.Feed(kTid, c.packet).empty());
        EXPECT_EQ(rig.t->Error(), c.message);
        EXPECT_TRUE(rig.t->Finished());
        EXPECT_TRUE(rig.Expire().empty());
    }
}

TEST(Put, LastBlockIsTheShortOne) {
    const struct {
        std::size_t size;
        std::vector<std::size_t> blocks;
    } cases[] = {
        {0, {0}}, {511, {511}}, {512, {512, 0}}, {513, {512, 1}}, {1024, {512, 512, 0}},
    };
    for (const auto& c : cases) {
        Rig rig(Direction::Put, std::string(c.size, 'z'));
        rig.Start();
        auto out = rig.Feed(kTid, Ack(0));
        for (std::size_t i = 0; i < c.blocks.size(); ++i) {
            const Bytes sent = Only(out, kTid);
            EXPECT_EQ(sent, Data(unsigned(i + 1), std::string(c.blocks[i], 'z'))) << c.size;
            EXPECT_FALSE(rig.t->Finished());
            out = rig.Feed(kTid, Ack(unsigned(i + 1)));
        }
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(rig.t->Result(), TransferResult::Succeeded) << c.size;
        EXPECT_EQ(rig.t->LocalBytes(), c.size);
    }
}

TEST(Put, DuplicateAckNeverResendsButTimeoutDoes) {
    Rig rig(Direction::Put, std::string(2000, 'd'));
    rig.Start();
    rig.Feed(kTid, Ack(0));
    const Bytes block2 = Only(rig.Feed(kTid, Ack(1)), kTid);
    EXPECT_TRUE(rig.Feed(kTid, Ack(1)).empty()); // the Sorcerer's Apprentice trap
    EXPECT_TRUE(rig.Feed(kTid, Ack(0)).empty());
    EXPECT_TRUE(rig.Feed(kTid, Ack(7)).empty()); // never sent: ignored
    EXPECT_EQ(Only(rig.Expire(), kTid), block2);
    EXPECT_EQ(Only(rig.Feed(kTid, Ack(2)), kTid), Data(3, std::string(512, 'd')));
}

// Times (ms after the last progress) of every resend and of giving up. Before any reply
// the initial 1 s timeout doubles; after replies measured at 0 ms it starts at the 50 ms
// floor and doubles up to 16 s.
TEST(Timeouts, BackOffAndBounds) {
    const struct {
        const char* what;
        Direction direction;
        std::size_t file;
        int acks; // ACKs the server gives (0, 1, ...) before falling silent
        std::vector<Millis> sends;
        Millis givesUp;
        const char* message;
    } cases[] = {
        {"request to a silent host",
         Direction::Put,
         0,
         -1,
         {1000, 3000, 7000},
         15000,
         "Timeout: no answer from host"},
        {"GET request",
         Direction::Get,
         0,
         -1,
         {1000, 3000, 7000},
         15000,
         "Timeout: no answer from host"},
        {"stall in the middle",
         Direction::Put,
         5000,
         1,
         {50, 150, 350, 750, 1550, 3150, 6350, 12750},
         15000,
         "Timeout: host stopped answering"},
        // The last ACK may wait on the unit writing its flash: a minute, not 15 s.
        {"last block",
         Direction::Put,
         600,
         1,
         {50, 150, 350, 750, 1550, 3150, 6350, 12750, 25550, 41550, 57550},
         60000,
         "Timeout: host stopped answering"},
    };
    for (const auto& c : cases) {
        Rig rig(c.direction, std::string(c.file, 'q'));
        rig.Start();
        for (int i = 0; i <= c.acks; ++i) {
            rig.Feed(kTid, Ack(unsigned(i)));
        }
        const Millis begin = rig.now;
        std::vector<Millis> sends;
        while (!rig.t->Finished()) {
            if (!rig.Expire().empty()) {
                sends.push_back(rig.now - begin);
            }
        }
        EXPECT_EQ(sends, c.sends) << c.what;
        EXPECT_EQ(rig.now - begin, c.givesUp) << c.what;
        EXPECT_EQ(rig.t->Error(), c.message) << c.what;
    }
}

TEST(Timeouts, AdaptToMeasuredRoundTrips) {
    Rig rig(Direction::Put, std::string(512 * 20, 'r'));
    rig.Start();
    rig.now += 2;
    rig.Feed(kTid, Ack(0));
    for (unsigned n = 1; n < 10; ++n) {
        rig.now += 2;
        rig.Feed(kTid, Ack(n));
    }
    const Millis sent = rig.now;
    EXPECT_EQ(rig.Expire().size(), 1u);
    EXPECT_LE(rig.now - sent, 100); // not the initial second once the link is known
    EXPECT_GE(rig.now - sent, 50);
}

TEST(Get, WritesInOrderLingersAndReacknowledges) {
    Rig rig(Direction::Get);
    rig.Start();
    EXPECT_EQ(Only(rig.Feed(kTid, Data(1, std::string(512, 'a'))), kTid), Ack(1));
    EXPECT_EQ(Only(rig.Feed(kTid, Data(1, std::string(512, 'a'))), kTid), Ack(1)); // repeat
    EXPECT_EQ(Only(rig.Feed(kTid, Data(3, "zz")), kTid), Ack(1));                  // gap
    EXPECT_EQ(Only(rig.Feed(kTid, Data(2, "end")), kTid), Ack(2));
    EXPECT_TRUE(rig.t->Complete());
    EXPECT_FALSE(rig.t->Finished());
    EXPECT_EQ(Only(rig.Feed(kTid, Data(2, "end")), kTid), Ack(2)); // our ACK was lost
    EXPECT_TRUE(rig.Expire().empty());
    EXPECT_EQ(rig.t->Result(), TransferResult::Succeeded);
    EXPECT_EQ(rig.sink.data, std::string(512, 'a') + "end");
}

TEST(Get, EmptyBlockAfterFullOneEndsTheFile) {
    Rig rig(Direction::Get);
    rig.Start();
    rig.Feed(kTid, Data(1, std::string(512, 'b')));
    EXPECT_FALSE(rig.t->Complete());
    EXPECT_EQ(Only(rig.Feed(kTid, Data(2, "")), kTid), Ack(2));
    EXPECT_TRUE(rig.t->Complete());
}

TEST(Get, BadPacketsFromTheServerStopTheTransfer) {
    const struct {
        Bytes packet;
        int errorCode;
    } cases[] = {
        {Data(1, std::string(513, 'x')), 4}, // longer than the block size
        {Ack(1), 4},
        {B({0, 9, 0, 0}), 4},
        {B({0, 3, 0}), 4},
    };
    for (const auto& c : cases) {
        Rig rig(Direction::Get);
        rig.Start();
        rig.Feed(kTid, Data(1, std::string(512, 'x')));
        const Bytes sent = Only(rig.Feed(kTid, c.packet), kTid);
        ASSERT_GE(sent.size(), 4u);
        EXPECT_EQ(sent[1], 5);
        EXPECT_EQ(sent[3], c.errorCode);
        EXPECT_EQ(rig.t->Result(), TransferResult::Failed);
    }
}

TEST(Get, LocalWriteFailureTellsTheServer) {
    Rig rig(Direction::Get);
    rig.sink.fail = true;
    rig.Start();
    EXPECT_EQ(Only(rig.Feed(kTid, Data(1, "abc")), kTid),
              Error(3, "Disk full or write error on client"));
    EXPECT_EQ(rig.t->Error(), "Cannot write local file");
}

TEST(Options, OackAcceptance) {
    const struct {
        Bytes oack;
        bool accepted;
        std::size_t blockSize, windowSize;
    } cases[] = {
        {Oack("blksize|1024|windowsize|4|"), true, 1024, 4},
        {Oack("BLKSIZE|1468|"), true, 1468, 1}, // names are case-insensitive
        {Oack("windowsize|16|tsize|3|"), true, 512, 16},
        {Oack(""), true, 512, 1},
        {Oack("blksize|1469|"), false, 0, 0}, // more than asked
        {Oack("blksize|7|"), false, 0, 0},
        {Oack("windowsize|0|"), false, 0, 0},
        {Oack("blksize|1024|blksize|1024|"), false, 0, 0}, // twice
        {Oack("timeout|5|"), false, 0, 0},                 // never asked for
        {Oack("blksize|+1024|"), false, 0, 0},
        {Oack("blksize||"), false, 0, 0},
        {Oack("blksize|99999999999999999999999|"), false, 0, 0},
        {Oack("blksize|1024"), false, 0, 0}, // value without NUL
        {Oack("blksize"), false, 0, 0},
    };
    for (const auto& c : cases) {
        Rig rig(Direction::Put, std::string(3000, 'o'));
        rig.settings.blockSize = 1468;
        rig.settings.windowSize = 16;
        rig.settings.tsize = true;
        rig.Start();
        const auto out = rig.Feed(kTid, c.oack);
        if (!c.accepted) {
            EXPECT_EQ(Only(out, kTid), Error(8, "Option negotiation failed"));
            EXPECT_EQ(rig.t->Result(), TransferResult::Failed);
            continue;
        }
        EXPECT_EQ(rig.t->BlockSize(), c.blockSize);
        EXPECT_EQ(rig.t->WindowSize(), c.windowSize);
        const std::size_t blocks = std::min<std::size_t>(c.windowSize, 3000 / c.blockSize + 1);
        ASSERT_EQ(out.size(), blocks);
        EXPECT_EQ(out[0].bytes.size(), 4 + c.blockSize);
    }
}

TEST(Options, IgnoredOptionsMeanDefaults) {
    Rig put(Direction::Put, std::string(3000, 'i'));
    put.settings.blockSize = 1468;
    put.settings.windowSize = 8;
    put.Start();
    EXPECT_EQ(Only(put.Feed(kTid, Ack(0)), kTid).size(), 4u + 512);

    Rig get(Direction::Get);
    get.settings.blockSize = 1468;
    get.Start();
    get.Feed(kTid, Data(1, std::string(512, 'g')));
    EXPECT_FALSE(get.t->Complete()); // 512 bytes is a full default block
}

TEST(Options, RefusedOptionsAreRetriedOnceWithout) {
    const struct {
        Bytes firstError;
        bool retried;
    } cases[] = {
        {Error(8, "no"), true},
        {Error(0, "?"), true},
        {Error(4, "bad"), true},
        {Error(1, "File not found"), false},
        {Error(2, "Access violation"), false},
    };
    for (const auto& c : cases) {
        Rig rig(Direction::Get);
        rig.settings.blockSize = 1024;
        rig.Start();
        const auto out = rig.Feed(At(1, 4000), c.firstError);
        if (!c.retried) {
            EXPECT_TRUE(out.empty());
            EXPECT_EQ(rig.t->Result(), TransferResult::Failed);
            continue;
        }
        EXPECT_EQ(Only(out, kServer), B({0, 1, 'f', 0, 'o', 'c', 't', 'e', 't', 0}));
        EXPECT_TRUE(rig.Feed(At(1, 4001), Error(8, "still no")).empty());
        EXPECT_EQ(rig.t->Result(), TransferResult::Failed); // only once
    }
}

TEST(Options, GetAcknowledgesOackWithAck0) {
    Rig rig(Direction::Get);
    rig.settings.blockSize = 1024;
    rig.settings.tsize = true;
    rig.Start();
    EXPECT_EQ(Only(rig.Feed(kTid, Oack("blksize|1024|tsize|1030|")), kTid), Ack(0));
    EXPECT_EQ(Only(rig.Feed(kTid, Oack("blksize|1024|tsize|1030|")), kTid), Ack(0));
    EXPECT_EQ(Only(rig.Expire(), kTid), Ack(0));
    EXPECT_EQ(Only(rig.Feed(kTid, Data(1, std::string(1024, 'k'))), kTid), Ack(1));
    EXPECT_EQ(Only(rig.Feed(kTid, Data(2, "abcdef")), kTid), Ack(2));
    EXPECT_EQ(rig.t->Result(), TransferResult::Succeeded);
}

TEST(Options, GetFailsWhenTheAnnouncedSizeIsWrong) {
    Rig rig(Direction::Get);
    rig.settings.tsize = true;
    rig.Start();
    rig.Feed(kTid, Oack("tsize|100|"));
    rig.Feed(kTid, Data(1, "short"));
    EXPECT_EQ(rig.t->Result(), TransferResult::Failed);
}

TEST(Rollover, BlockNumbersWrapFrom65535ToZero) {
    const std::size_t blocks = 65540;
    Rig put(Direction::Put, std::string(blocks * 8 - 3, 'r'));
    Rig get(Direction::Get);
    put.settings.blockSize = get.settings.blockSize = 8;
    put.Start();
    get.Start();
    auto out = put.Feed(kTid, Oack("blksize|8|"));
    EXPECT_EQ(Only(get.Feed(kTid, Oack("blksize|8|")), kTid), Ack(0));
    for (std::size_t n = 1; n <= blocks; ++n) {
        ASSERT_EQ(out.size(), 1u);
        const Bytes& data = out[0].bytes;
        ASSERT_EQ((data[2] << 8) | data[3], static_cast<int>(n & 0xffff));
        const auto acks = get.Feed(kTid, data);
        ASSERT_EQ(Only(acks, kTid), Ack(unsigned(n & 0xffff)));
        out = put.Feed(kTid, acks[0].bytes);
    }
    EXPECT_EQ(put.t->Result(), TransferResult::Succeeded);
    EXPECT_EQ(get.t->Result(), TransferResult::Succeeded);
    EXPECT_EQ(get.sink.data, put.source.data);
}

std::vector<unsigned> BlockNumbers(const std::vector<Datagram>& out) {
    std::vector<unsigned> n;
    for (const Datagram& d : out) {
        n.push_back(unsigned((d.bytes[2] << 8) | d.bytes[3]));
    }
    return n;
}

TEST(Window, SenderGoesBackToTheFirstMissingBlock) {
    Rig rig(Direction::Put, std::string(512 * 10 + 100, 'w'));
    rig.settings.windowSize = 4;
    rig.Start();
    using V = std::vector<unsigned>;
    EXPECT_EQ(BlockNumbers(rig.Feed(kTid, Oack("windowsize|4|"))), (V{1, 2, 3, 4}));
    EXPECT_EQ(BlockNumbers(rig.Feed(kTid, Ack(4))), (V{5, 6, 7, 8}));
    EXPECT_EQ(BlockNumbers(rig.Feed(kTid, Ack(6))), (V{7, 8, 9, 10})); // gap after 6
    EXPECT_TRUE(rig.Feed(kTid, Ack(6)).empty());                       // duplicate
    EXPECT_EQ(BlockNumbers(rig.Expire()), (V{7, 8, 9, 10}));
    EXPECT_EQ(BlockNumbers(rig.Feed(kTid, Ack(10))), (V{11}));
    rig.Feed(kTid, Ack(11));
    EXPECT_EQ(rig.t->Result(), TransferResult::Succeeded);
}

TEST(Window, ReceiverAcknowledgesWindowsAndGaps) {
    Rig rig(Direction::Get);
    rig.settings.windowSize = 3;
    rig.Start();
    const std::string full(512, 'v');
    EXPECT_EQ(Only(rig.Feed(kTid, Oack("windowsize|3|")), kTid), Ack(0));
    EXPECT_TRUE(rig.Feed(kTid, Data(1, full)).empty());
    EXPECT_TRUE(rig.Feed(kTid, Data(2, full)).empty());
    EXPECT_EQ(Only(rig.Feed(kTid, Data(3, full)), kTid), Ack(3));
    EXPECT_EQ(Only(rig.Feed(kTid, Data(5, full)), kTid), Ack(3)); // 4 lost
    EXPECT_TRUE(rig.Feed(kTid, Data(6, full)).empty());           // one ACK per window
    EXPECT_TRUE(rig.Feed(kTid, Data(7, full)).empty());
    EXPECT_EQ(Only(rig.Feed(kTid, Data(8, full)), kTid), Ack(3));
    EXPECT_TRUE(rig.Feed(kTid, Data(4, full)).empty());
    EXPECT_EQ(Only(rig.Expire(), kTid), Ack(4)); // the tail of a window went missing
    EXPECT_EQ(Only(rig.Feed(kTid, Data(5, "x")), kTid), Ack(5));
    EXPECT_EQ(rig.sink.data, full + full + full + full + "x");
}

} // namespace
