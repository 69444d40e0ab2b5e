// The TFTP transfer state machine. Comments name the interoperability rule each branch
// exists for; the RFC numbers are those of the header.
#include "tftp/transfer.h"

namespace tftp {

Transfer::Transfer(const Settings& settings, DataSource* source, DataSink* sink)
    : settings_(settings), timer_(settings.initialTimeout), sender_(settings.mode, source),
      receiver_(settings.mode, sink) {}

TransferResult Transfer::Result() const {
    if (phase_ == Phase::Failed) {
        return TransferResult::Failed;
    }
    return complete_ ? TransferResult::Succeeded : TransferResult::Running;
}

std::uint64_t Transfer::LocalBytes() const {
    return settings_.direction == Direction::Put ? sender_.LocalBytes() : receiver_.LocalBytes();
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

void Transfer::Start(Millis now) {
    if (RequestPacket(settings_, false).size() > kMaxRequestSize) {
        Fail("Remote file name too long");
        return;
    }
    optionsSent_ = OptionsWanted(settings_);
    if (optionsSent_ && RequestPacket(settings_, true).size() > kMaxRequestSize) {
        // Servers may drop requests beyond 512 bytes; the plain request still works.
        optionsSent_ = false;
        notes_.push_back("options dropped: the request would exceed 512 bytes");
    }
    SendRequest(now);
}

void Transfer::SendRequest(Millis now) {
    Send(settings_.server, RequestPacket(settings_, optionsSent_));
    requestSent_ = {now, false};
    timer_.Progress(now, settings_.stallLimit);
}

void Transfer::Send(const Peer& to, std::vector<std::uint8_t> bytes) {
    out_.push_back({to, std::move(bytes)});
}

void Transfer::SendError(const Peer& to, std::uint16_t code, const std::string& message) {
    Send(to, ErrorPacket(code, message, options_.blockSize));
}

void Transfer::SendAck(std::uint64_t block) {
    Send(tid_, AckPacket(block));
}

void Transfer::Reacknowledge() {
    SendAck(receiver_.LastStored());
    receiver_.AckResent();
}

void Transfer::Fail(std::string message) {
    error_ = std::move(message);
    phase_ = Phase::Failed;
}

void Transfer::Tick(Millis now) {
    if (Finished() || !timer_.Due(now)) {
        return;
    }
    if (phase_ == Phase::Lingering) {
        phase_ = Phase::Done;
        return;
    }
    if (timer_.GivenUp(now)) {
        Fail(phase_ == Phase::Requesting ? "Timeout: no answer from host"
                                         : "Timeout: host stopped answering");
        return;
    }
    // Only a timeout resends (RFC 1123 4.2.3.1), and each one doubles the wait.
    timer_.BackOff();
    if (phase_ == Phase::Requesting) {
        Send(settings_.server, RequestPacket(settings_, optionsSent_));
        requestSent_.resent = true;
    } else if (settings_.direction == Direction::Put) {
        SendWindow(now);
    } else {
        // ACK 0 again, or the last block received: the sender starts its next window
        // after the block acknowledged here.
        Reacknowledge();
    }
    if (!Finished()) {
        timer_.Rearm(now);
    }
}

void Transfer::Receive(Millis now, const Peer& from, const std::uint8_t* data, std::size_t size) {
    if (Finished()) {
        return;
    }
    const bool isError = OpcodeOf(data, size) == kError;
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
        const std::uint64_t last = receiver_.LastStored();
        if (IsBlock(data, size, kData, static_cast<std::uint16_t>(last & 0xffff))) {
            SendAck(last);
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
    Fail("Error on server: " + ErrorMessageOf(data, size));
}

void Transfer::RefuseUnexpected(std::uint16_t opcode) {
    SendError(tid_, kIllegalOperation, "Illegal TFTP operation");
    Fail("Server sent an unexpected packet (opcode " + std::to_string(opcode) + ")");
}

void Transfer::HandleFirstReply(Millis now, const Peer& from, const std::uint8_t* data,
                                std::size_t size) {
    const std::uint16_t op = OpcodeOf(data, size);
    // The first reply fixes the server's transfer ID, and must come from the host asked.
    if (!from.SameHost(settings_.server)) {
        if (op != kError) {
            SendError(from, kUnknownTid, "Unknown transfer ID");
        }
        return;
    }
    if (op == kError) {
        HandleFirstError(now, data, size);
        return;
    }
    const bool put = settings_.direction == Direction::Put;
    const bool firstAck = put && IsBlock(data, size, kAck, 0);
    const bool firstData = !put && IsBlock(data, size, kData, 1);
    if (op != kOack && !firstAck && !firstData) {
        return; // nothing this request could have caused; keep waiting
    }
    tid_ = from;
    timer_.Answered(requestSent_, now);
    if (op == kOack) {
        TakeOack(now, data, size);
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
        receiver_.AckResent(); // no ACK to time yet
        HandleGetPacket(now, data, size);
    }
}

void Transfer::HandleFirstError(Millis now, const std::uint8_t* data, std::size_t size) {
    const std::uint16_t code = ErrorCodeOf(data, size);
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
}

void Transfer::TakeOack(Millis now, const std::uint8_t* data, std::size_t size) {
    std::string why;
    if (!ReadOack(settings_, data, size, options_, why)) {
        SendError(tid_, kOptionRefused, "Option negotiation failed");
        Fail("Option negotiation failed: " + why);
        return;
    }
    optionsAccepted_ = true;
    notes_.push_back(
        "options accepted: blksize " + std::to_string(options_.blockSize) + ", windowsize " +
        std::to_string(options_.windowSize) +
        (options_.tsize ? ", tsize " + std::to_string(*options_.tsize) : std::string()));
    if (settings_.direction == Direction::Put) {
        phase_ = Phase::Transferring;
        BeginSending(now);
        return;
    }
    // RFC 2347: a reader acknowledges the OACK with ACK 0.
    phase_ = Phase::AwaitingFirstData;
    SendAck(0);
    receiver_.AckSent(now);
    timer_.Progress(now, settings_.stallLimit);
}

// ---- PUT -------------------------------------------------------------------------------

void Transfer::BeginSending(Millis now) {
    sender_.Begin(options_.blockSize, options_.windowSize);
    SendNextWindow(now);
}

// The window from the first block not acknowledged; false when the file could not be read.
bool Transfer::SendWindow(Millis now) {
    if (sender_.SendWindow(now, tid_, out_)) {
        return true;
    }
    SendError(tid_, kNotDefined, "Read error on client");
    Fail("Cannot read local file");
    return false;
}

void Transfer::SendNextWindow(Millis now) {
    if (SendWindow(now)) {
        timer_.Progress(now,
                        sender_.LastBlockSent() ? settings_.lastAckLimit : settings_.stallLimit);
    }
}

void Transfer::HandlePutPacket(Millis now, const std::uint8_t* data, std::size_t size) {
    const std::uint16_t op = OpcodeOf(data, size);
    if (op == kOack) {
        return; // a repeated OACK is a repeated ACK 0: our timer resends, not this
    }
    if (op != kAck) {
        RefuseUnexpected(op);
        return;
    }
    const std::optional<SendStamp> answered = sender_.Acknowledge(BlockOf(data));
    if (!answered) {
        // A duplicate or stale ACK. Answering it with DATA is the Sorcerer's Apprentice
        // bug (RFC 1123 4.2.3.1): every later block would then travel twice.
        return;
    }
    timer_.Answered(*answered, now); // Karn: only blocks sent once give a clean sample
    if (sender_.AllAcknowledged()) {
        complete_ = true;
        phase_ = Phase::Done;
        return;
    }
    // A whole window acknowledged: the next one. Part of it (RFC 7440): the receiver saw
    // a gap, so go back and send on from the first block it lacks.
    SendNextWindow(now);
}

// ---- GET -------------------------------------------------------------------------------

void Transfer::HandleGetPacket(Millis now, const std::uint8_t* data, std::size_t size) {
    const std::uint16_t op = OpcodeOf(data, size);
    if (op == kOack) {
        if (phase_ == Phase::AwaitingFirstData) {
            Reacknowledge(); // the server never saw our ACK 0
        }
        return;
    }
    if (op != kData) {
        RefuseUnexpected(op);
        return;
    }
    if (size > 4 + options_.blockSize) {
        SendError(tid_, kIllegalOperation, "Block larger than negotiated");
        Fail("Server sent a block larger than " + std::to_string(options_.blockSize) + " bytes");
        return;
    }
    if (BlockOf(data) != receiver_.Wanted()) {
        // A repeat (our ACK was lost) or a gap (a block was lost). Either way the sender
        // needs our last good block; one ACK per window's worth of such packets is
        // enough and keeps a resent window from drawing a burst of ACKs.
        if (receiver_.OutOfPlace(options_.windowSize)) {
            Reacknowledge();
        }
        return;
    }
    if (const std::optional<SendStamp> ack = receiver_.AnsweredAck()) {
        timer_.Answered(*ack, now);
    }
    AcceptData(now, data + 4, size - 4, size - 4 < options_.blockSize);
}

void Transfer::AcceptData(Millis now, const std::uint8_t* payload, std::size_t size, bool last) {
    if (!receiver_.Store(payload, size, last)) {
        SendError(tid_, kDiskFull, "Disk full or write error on client");
        Fail("Cannot write local file");
        return;
    }
    phase_ = Phase::Transferring;
    if (last) {
        FinishReceiving(now);
        return;
    }
    if (receiver_.WindowFull(options_.windowSize)) {
        SendAck(receiver_.LastStored());
        receiver_.AckSent(now);
    }
    timer_.Progress(now, settings_.stallLimit);
}

void Transfer::FinishReceiving(Millis now) {
    SendAck(receiver_.LastStored());
    const std::uint64_t bytes = receiver_.LocalBytes();
    if (options_.tsize && settings_.mode == Mode::Octet && *options_.tsize != bytes) {
        Fail("Size mismatch: server announced " + std::to_string(*options_.tsize) +
             " bytes, sent " + std::to_string(bytes));
        return;
    }
    complete_ = true;
    phase_ = Phase::Lingering;
    timer_.WakeAt(now + settings_.linger);
}

} // namespace tftp
