// The TFTP transfer state machine. Comments name the interoperability rule each branch
// exists for; the RFC numbers are those of the header.
#include "tftp/transfer.h"

#include <algorithm>

namespace tftp {

namespace {

// Retransmission timeout bounds once round trips have been measured. The floor keeps a
// busy unit that answers a little late from being flooded; the ceiling keeps the
// back-off from sleeping through most of the stall limit in one step.
constexpr Millis kMinRto = 50;
constexpr Millis kMaxRto = 16000;

std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void Put16(std::vector<std::uint8_t>& out, std::uint64_t v) {
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
    out.push_back(static_cast<std::uint8_t>(v & 0xff));
}

void PutString(std::vector<std::uint8_t>& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
}

// Text from the network, made safe to print: printable ASCII only, bounded.
std::string Printable(const std::uint8_t* p, std::size_t n, std::size_t limit) {
    std::string s;
    for (std::size_t i = 0; i < n && p[i] != 0 && s.size() < limit; ++i) {
        s.push_back(p[i] >= 0x20 && p[i] < 0x7f ? static_cast<char>(p[i]) : '?');
    }
    return s;
}

// Decimal digits only: no sign, no blanks, no overflow.
std::optional<std::uint64_t> ParseNumber(const std::string& s) {
    if (s.empty() || s.size() > 19) {
        return std::nullopt;
    }
    std::uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return v;
}

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

} // namespace

Transfer::Transfer(const Settings& settings, DataSource* source, DataSink* sink)
    : settings_(settings), source_(source), sink_(sink) {}

Outcome Transfer::Result() const {
    if (phase_ == Phase::Failed) {
        return Outcome::Failed;
    }
    return complete_ ? Outcome::Succeeded : Outcome::Running;
}

std::vector<Datagram> Transfer::TakeOutgoing() {
    std::vector<Datagram> out;
    out.swap(out_);
    return out;
}

std::vector<std::string> Transfer::TakeNotes() {
    std::vector<std::string> notes;
    notes.swap(notes_);
    return notes;
}

bool Transfer::OptionsWanted() const {
    return settings_.blockSize != 0 || settings_.windowSize != 0 ||
           (settings_.tsize && settings_.mode == Mode::Octet);
}

std::vector<std::uint8_t> Transfer::BuildRequest(bool withOptions) const {
    std::vector<std::uint8_t> p;
    Put16(p, settings_.direction == Direction::Put ? kWrq : kRrq);
    PutString(p, settings_.remoteName);
    PutString(p, settings_.mode == Mode::Octet ? "octet" : "netascii");
    if (withOptions) {
        if (settings_.blockSize != 0) {
            PutString(p, "blksize");
            PutString(p, std::to_string(settings_.blockSize));
        }
        if (settings_.tsize && settings_.mode == Mode::Octet) {
            PutString(p, "tsize");
            // A reader asks with 0 and learns the size; a writer announces it.
            PutString(
                p, std::to_string(settings_.direction == Direction::Put ? settings_.localSize : 0));
        }
        if (settings_.windowSize != 0) {
            PutString(p, "windowsize");
            PutString(p, std::to_string(settings_.windowSize));
        }
    }
    return p;
}

void Transfer::Start(Millis now) {
    if (BuildRequest(false).size() > kMaxRequestSize) {
        Fail("Remote file name too long");
        return;
    }
    optionsSent_ = OptionsWanted();
    if (optionsSent_ && BuildRequest(true).size() > kMaxRequestSize) {
        // Servers may drop requests beyond 512 bytes; the plain request still works.
        optionsSent_ = false;
        notes_.push_back("options dropped: the request would exceed 512 bytes");
    }
    SendRequest(now);
}

void Transfer::SendRequest(Millis now) {
    Send(settings_.server, BuildRequest(optionsSent_));
    requestSentAt_ = now;
    requestResent_ = false;
    giveUpAt_ = now + settings_.stallLimit;
    rto_ = settings_.initialTimeout;
    ArmTimer(now);
}

void Transfer::Send(const Peer& to, std::vector<std::uint8_t> bytes) {
    out_.push_back({to, std::move(bytes)});
}

void Transfer::SendError(const Peer& to, std::uint16_t code, const std::string& message) {
    std::vector<std::uint8_t> p;
    Put16(p, kError);
    Put16(p, code);
    // Within the negotiated block size too: a peer that asked for 8-byte blocks may read
    // no more than 12 bytes per datagram.
    PutString(p, message.substr(0, blockSize_ - 1));
    Send(to, std::move(p));
}

void Transfer::SendAck(std::uint64_t block) {
    std::vector<std::uint8_t> p;
    Put16(p, kAck);
    Put16(p, block);
    Send(tid_, std::move(p));
    acked_ = block;
}

void Transfer::Fail(std::string message) {
    error_ = std::move(message);
    phase_ = Phase::Failed;
}

void Transfer::Sample(Millis rtt) {
    rtt = std::max<Millis>(rtt, 0);
    if (!haveSample_) {
        srtt_ = rtt;
        rttvar_ = rtt / 2;
        haveSample_ = true;
    } else {
        const Millis delta = srtt_ > rtt ? srtt_ - rtt : rtt - srtt_;
        rttvar_ = (3 * rttvar_ + delta) / 4;
        srtt_ = (7 * srtt_ + rtt) / 8;
    }
}

void Transfer::Progress(Millis now, Millis limit) {
    giveUpAt_ = now + limit;
    rto_ = haveSample_ ? std::clamp(srtt_ + std::max<Millis>(10, 4 * rttvar_), kMinRto, kMaxRto)
                       : settings_.initialTimeout;
    ArmTimer(now);
}

void Transfer::ArmTimer(Millis now) {
    deadline_ = std::min(now + rto_, giveUpAt_);
}

void Transfer::Tick(Millis now) {
    if (Finished() || now < deadline_) {
        return;
    }
    if (phase_ == Phase::Lingering) {
        phase_ = Phase::Done;
        return;
    }
    if (now >= giveUpAt_) {
        Fail(phase_ == Phase::Requesting ? "Timeout: no answer from host"
                                         : "Timeout: host stopped answering");
        return;
    }
    // Only a timeout resends (RFC 1123 4.2.3.1), and each one doubles the wait.
    rto_ = std::min(rto_ * 2, std::max(kMaxRto, settings_.initialTimeout));
    ++retransmissions_;
    switch (phase_) {
    case Phase::Requesting:
        Send(settings_.server, BuildRequest(optionsSent_));
        requestResent_ = true;
        break;
    case Phase::AwaitingFirstData:
        SendAck(0);
        ackResent_ = true;
        break;
    case Phase::Transferring:
        if (settings_.direction == Direction::Put) {
            SendWindow(now, base_ + 1);
        } else {
            // The sender starts its next window after the block acknowledged here.
            SendAck(expected_ - 1);
            inWindow_ = 0;
            ackResent_ = true;
        }
        break;
    default:
        break;
    }
    if (!Finished()) {
        ArmTimer(now);
    }
}

void Transfer::Receive(Millis now, const Peer& from, const std::uint8_t* data, std::size_t size) {
    if (Finished()) {
        return;
    }
    const bool isError = size >= 2 && Get16(data) == kError;
    if (phase_ == Phase::Requesting) {
        HandleFirstReply(now, from, data, size);
        return;
    }
    if (!(from == tid_)) {
        // RFC 1350: a stray packet gets ERROR 5 and the transfer goes on. An ERROR is
        // never answered, or two confused peers could bounce errors forever.
        if (!isError) {
            SendError(from, kUnknownTid, "Unknown transfer ID");
        }
        return;
    }
    if (phase_ == Phase::Lingering) {
        // Our final ACK was lost if the last DATA comes again.
        if (size >= 4 && Get16(data) == kData && Get16(data + 2) == (acked_ & 0xffff)) {
            SendAck(acked_);
        }
        return;
    }
    if (isError) {
        HandleServerError(data, size);
        return;
    }
    if (size < 4) {
        SendError(tid_, kIllegalOperation, "Illegal TFTP operation");
        Fail("Malformed packet from server");
        return;
    }
    if (settings_.direction == Direction::Put) {
        HandlePutPacket(now, data, size);
    } else {
        HandleGetPacket(now, data, size);
    }
}

void Transfer::HandleServerError(const std::uint8_t* data, std::size_t size) {
    const std::uint16_t code = size >= 4 ? Get16(data + 2) : 0;
    std::string message = size > 4 ? Printable(data + 4, size - 4, 200) : std::string();
    if (message.empty()) {
        message = "error code " + std::to_string(code);
    }
    Fail("Error on server: " + message);
}

void Transfer::HandleFirstReply(Millis now, const Peer& from, const std::uint8_t* data,
                                std::size_t size) {
    // The first reply fixes the server's transfer ID, and must come from the host asked.
    if (!from.SameHost(settings_.server)) {
        if (!(size >= 2 && Get16(data) == kError)) {
            SendError(from, kUnknownTid, "Unknown transfer ID");
        }
        return;
    }
    if (size < 2) {
        return;
    }
    const std::uint16_t op = Get16(data);
    const bool put = settings_.direction == Direction::Put;
    if (op == kError) {
        const std::uint16_t code = size >= 4 ? Get16(data + 2) : std::uint16_t{kNotDefined};
        // RFC 2347 servers refuse options with ERROR 8; older ones answer an unknown
        // request with 0 or 4. Either way one plain retry tells a real refusal apart.
        if (optionsSent_ && !retriedPlain_ &&
            (code == kOptionRefused || code == kNotDefined || code == kIllegalOperation)) {
            notes_.push_back("server refused the options; retrying without them");
            optionsSent_ = false;
            retriedPlain_ = true;
            SendRequest(now);
            return;
        }
        HandleServerError(data, size);
        return;
    }
    const bool firstAck = put && op == kAck && size >= 4 && Get16(data + 2) == 0;
    const bool firstData = !put && op == kData && size >= 4 && Get16(data + 2) == 1;
    if (op != kOack && !firstAck && !firstData) {
        return; // nothing this request could have caused; keep waiting
    }
    tid_ = from;
    if (!requestResent_) {
        Sample(now - requestSentAt_);
    }
    if (op == kOack) {
        std::string why;
        if (!AcceptOack(data, size, why)) {
            SendError(tid_, kOptionRefused, "Option negotiation failed");
            Fail("Option negotiation failed: " + why);
            return;
        }
        optionsAccepted_ = true;
        notes_.push_back("options accepted: blksize " + std::to_string(blockSize_) +
                         ", windowsize " + std::to_string(windowSize_) +
                         (tsize_ ? ", tsize " + std::to_string(*tsize_) : std::string()));
        if (put) {
            phase_ = Phase::Transferring;
            BeginSending(now);
        } else {
            // RFC 2347: a reader acknowledges the OACK with ACK 0.
            phase_ = Phase::AwaitingFirstData;
            SendAck(0);
            ackSentAt_ = now;
            ackResent_ = false;
            Progress(now, settings_.stallLimit);
        }
        return;
    }
    if (optionsSent_) {
        // A server without option support answers as if none were asked: defaults.
        notes_.push_back("server ignored the options; using blksize 512, windowsize 1");
    }
    phase_ = Phase::Transferring;
    if (put) {
        BeginSending(now);
    } else {
        ackResent_ = true; // no ACK to time yet
        HandleGetPacket(now, data, size);
    }
}

bool Transfer::AcceptOack(const std::uint8_t* data, std::size_t size, std::string& why) {
    bool seenBlksize = false, seenWindowsize = false, seenTsize = false;
    std::size_t pos = 2;
    while (pos < size) {
        const std::uint8_t* nameEnd =
            static_cast<const std::uint8_t*>(std::find(data + pos, data + size, 0));
        if (nameEnd == data + size) {
            why = "malformed OACK";
            return false;
        }
        const std::string name(data + pos, nameEnd);
        pos = static_cast<std::size_t>(nameEnd - data) + 1;
        const std::uint8_t* valueEnd =
            static_cast<const std::uint8_t*>(std::find(data + pos, data + size, 0));
        if (valueEnd == data + size) {
            why = "malformed OACK";
            return false;
        }
        const std::string text(data + pos, valueEnd);
        pos = static_cast<std::size_t>(valueEnd - data) + 1;
        const std::optional<std::uint64_t> value = ParseNumber(text);
        const std::string key = Lower(name);
        const std::string shown =
            Printable(reinterpret_cast<const std::uint8_t*>(name.data()), name.size(), 32);
        bool* seen = nullptr;
        std::uint64_t low = 0, high = 0;
        if (key == "blksize" && settings_.blockSize != 0) {
            seen = &seenBlksize;
            low = kMinBlockSize;
            high = settings_.blockSize; // RFC 2348: never more than asked
        } else if (key == "windowsize" && settings_.windowSize != 0) {
            seen = &seenWindowsize;
            low = 1;
            high = settings_.windowSize;
        } else if (key == "tsize" && settings_.tsize && settings_.mode == Mode::Octet) {
            seen = &seenTsize;
            high = std::uint64_t{1} << 62;
        } else {
            why = "option '" + shown + "' was not requested";
            return false;
        }
        if (*seen) {
            why = "option '" + shown + "' given twice";
            return false;
        }
        *seen = true;
        if (!value || *value < low || *value > high) {
            why = "value out of range for '" + shown + "'";
            return false;
        }
        if (seen == &seenBlksize) {
            blockSize_ = static_cast<std::size_t>(*value);
        } else if (seen == &seenWindowsize) {
            windowSize_ = static_cast<std::size_t>(*value);
        } else {
            tsize_ = *value;
        }
    }
    return true;
}

// ---- PUT -------------------------------------------------------------------------------

void Transfer::BeginSending(Millis now) {
    base_ = 0;
    sentEnd_ = 0;
    next_ = 1;
    checkpoints_.assign(1, Checkpoint{});
    SendWindow(now, 1);
    if (!Finished()) {
        Progress(now,
                 final_ != 0 && sentEnd_ == final_ ? settings_.lastAckLimit : settings_.stallLimit);
    }
}

bool Transfer::Fill(std::vector<std::uint8_t>& payload) {
    payload.clear();
    const std::size_t capacity = blockSize_;
    if (settings_.mode == Mode::Octet) {
        while (payload.size() < capacity && !sourceEnd_) {
            const std::size_t have = payload.size();
            payload.resize(capacity);
            const std::ptrdiff_t n = source_->Read(payload.data() + have, capacity - have);
            payload.resize(have + static_cast<std::size_t>(std::max<std::ptrdiff_t>(n, 0)));
            if (n < 0) {
                return false;
            }
            sourceEnd_ = n == 0;
            offset_ += static_cast<std::uint64_t>(n);
        }
        return true;
    }
    while (encoder_.Flush(payload, capacity) && payload.size() < capacity) {
        if (rawPos_ == raw_.size()) {
            if (sourceEnd_) {
                break;
            }
            raw_.resize(4096);
            rawPos_ = 0;
            const std::ptrdiff_t n = source_->Read(raw_.data(), raw_.size());
            raw_.resize(static_cast<std::size_t>(std::max<std::ptrdiff_t>(n, 0)));
            if (n < 0) {
                return false;
            }
            sourceEnd_ = n == 0;
            continue;
        }
        const std::size_t used =
            encoder_.Encode(raw_.data() + rawPos_, raw_.size() - rawPos_, payload, capacity);
        rawPos_ += used;
        offset_ += used;
    }
    return true;
}

bool Transfer::ProduceBlock(std::uint64_t block, std::vector<std::uint8_t>& payload) {
    if (block != next_) {
        // Going back: rewind the reader to where this block began.
        const Checkpoint cp = checkpoints_[block - base_ - 1];
        if (!source_->Seek(cp.offset)) {
            return false;
        }
        offset_ = cp.offset;
        encoder_.SetState(cp.encoder);
        raw_.clear();
        rawPos_ = 0;
        sourceEnd_ = false;
        checkpoints_.resize(block - base_);
        next_ = block;
    }
    if (!Fill(payload)) {
        return false;
    }
    if (payload.size() < blockSize_) {
        // The short block ends the file, even a 0-byte one after a full last block.
        final_ = block;
        localBytes_ = offset_;
    }
    next_ = block + 1;
    checkpoints_.push_back({offset_, encoder_.GetState()});
    return true;
}

void Transfer::SendWindow(Millis now, std::uint64_t from) {
    const std::uint64_t oldEnd = sentEnd_;
    std::vector<std::uint8_t> payload;
    for (std::uint64_t b = from; b <= base_ + windowSize_ && (final_ == 0 || b <= final_); ++b) {
        if (!ProduceBlock(b, payload)) {
            SendError(tid_, kNotDefined, "Read error on client");
            Fail("Cannot read local file");
            return;
        }
        std::vector<std::uint8_t> p;
        p.reserve(4 + payload.size());
        Put16(p, kData);
        Put16(p, b);
        p.insert(p.end(), payload.begin(), payload.end());
        Send(tid_, std::move(p));
        const std::size_t index = static_cast<std::size_t>(b - base_ - 1);
        const Sent record{now, b <= oldEnd};
        if (index < sent_.size()) {
            sent_[index] = record;
        } else {
            sent_.push_back(record);
        }
        sentEnd_ = std::max(sentEnd_, b);
    }
}

void Transfer::HandlePutPacket(Millis now, const std::uint8_t* data, std::size_t size) {
    const std::uint16_t op = Get16(data);
    if (op == kOack) {
        return; // a repeated OACK is a repeated ACK 0: our timer resends, not this
    }
    if (op != kAck) {
        SendError(tid_, kIllegalOperation, "Illegal TFTP operation");
        Fail("Server sent an unexpected packet (opcode " + std::to_string(op) + ")");
        return;
    }
    (void)size;
    // Blocks are numbered modulo 65536; an ACK counts only if it lies in the window.
    const std::uint64_t ahead = static_cast<std::uint16_t>(Get16(data + 2) - base_);
    if (ahead == 0 || ahead > sentEnd_ - base_) {
        // A duplicate or stale ACK. Answering it with DATA is the Sorcerer's Apprentice
        // bug (RFC 1123 4.2.3.1): every later block would then travel twice.
        return;
    }
    const Sent acked = sent_[ahead - 1];
    if (!acked.resent) {
        Sample(now - acked.at); // Karn: only blocks sent once give a clean sample
    }
    base_ += ahead;
    sent_.erase(sent_.begin(), sent_.begin() + static_cast<std::ptrdiff_t>(ahead));
    checkpoints_.erase(checkpoints_.begin(),
                       checkpoints_.begin() + static_cast<std::ptrdiff_t>(ahead));
    if (final_ != 0 && base_ == final_) {
        complete_ = true;
        phase_ = Phase::Done;
        return;
    }
    // A whole window acknowledged: the next one. Part of it (RFC 7440): the receiver saw
    // a gap, so go back and send on from the first block it lacks.
    SendWindow(now, base_ + 1);
    if (!Finished()) {
        Progress(now,
                 final_ != 0 && sentEnd_ == final_ ? settings_.lastAckLimit : settings_.stallLimit);
    }
}

// ---- GET -------------------------------------------------------------------------------

void Transfer::HandleGetPacket(Millis now, const std::uint8_t* data, std::size_t size) {
    const std::uint16_t op = Get16(data);
    if (op == kOack) {
        if (phase_ == Phase::AwaitingFirstData) {
            SendAck(0); // the server never saw our ACK 0
            ackResent_ = true;
        }
        return;
    }
    if (op != kData) {
        SendError(tid_, kIllegalOperation, "Illegal TFTP operation");
        Fail("Server sent an unexpected packet (opcode " + std::to_string(op) + ")");
        return;
    }
    if (size > 4 + blockSize_) {
        SendError(tid_, kIllegalOperation, "Block larger than negotiated");
        Fail("Server sent a block larger than " + std::to_string(blockSize_) + " bytes");
        return;
    }
    if (Get16(data + 2) != (expected_ & 0xffff)) {
        // A repeat (our ACK was lost) or a gap (a block was lost). Either way the sender
        // needs our last good block; one ACK per window's worth of such packets is
        // enough and keeps a resent window from drawing a burst of ACKs.
        if (outOfPlace_++ % windowSize_ == 0) {
            SendAck(expected_ - 1);
            inWindow_ = 0;
            ackResent_ = true;
        }
        return;
    }
    if (inWindow_ == 0 && !ackResent_) {
        Sample(now - ackSentAt_);
    }
    AcceptData(now, data + 4, size - 4, size - 4 < blockSize_);
}

void Transfer::AcceptData(Millis now, const std::uint8_t* payload, std::size_t size, bool last) {
    const std::uint8_t* bytes = payload;
    std::size_t count = size;
    if (settings_.mode == Mode::Netascii) {
        decoded_.clear();
        decoder_.Decode(payload, size, decoded_);
        if (last) {
            decoder_.Finish(decoded_);
        }
        bytes = decoded_.data();
        count = decoded_.size();
    }
    if (count != 0 && !sink_->Write(bytes, count)) {
        SendError(tid_, kDiskFull, "Disk full or write error on client");
        Fail("Cannot write local file");
        return;
    }
    localBytes_ += count;
    ++expected_;
    ++inWindow_;
    outOfPlace_ = 0;
    phase_ = Phase::Transferring;
    if (last) {
        SendAck(expected_ - 1);
        if (tsize_ && settings_.mode == Mode::Octet && *tsize_ != localBytes_) {
            Fail("Size mismatch: server announced " + std::to_string(*tsize_) + " bytes, sent " +
                 std::to_string(localBytes_));
            return;
        }
        complete_ = true;
        phase_ = Phase::Lingering;
        deadline_ = now + settings_.linger;
        return;
    }
    if (inWindow_ >= windowSize_) {
        SendAck(expected_ - 1);
        inWindow_ = 0;
        ackSentAt_ = now;
        ackResent_ = false;
    }
    Progress(now, settings_.stallLimit);
}

} // namespace tftp
