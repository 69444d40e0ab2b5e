// The TFTP protocol of one transfer (RFC 1350 with the option extensions of RFC 2347,
// 2348, 2349 and 7440) as a state machine. It owns no socket and no clock: the driver
// hands it datagrams with their source and the current time, and takes back what to send
// and when it next wants to be woken. That keeps every protocol rule testable without a
// network, and lets the fuzzer drive it directly.
//
// The machine itself only decides which phase the transfer is in and routes each event:
// packets are built and read by packet.h, timeouts kept by retransmission.h, the file
// sent by sender.h (PUT) or received by receiver.h (GET).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tftp/packet.h"
#include "tftp/protocol.h"
#include "tftp/receiver.h"
#include "tftp/retransmission.h"
#include "tftp/sender.h"

namespace tftp {

enum class TransferResult { Running, Succeeded, Failed };

class Transfer {
public:
    // source for a PUT, sink for a GET; the other may be null.
    Transfer(const Settings& settings, DataSource* source, DataSink* sink);

    void Start(Millis now);
    void Receive(Millis now, const Peer& from, const std::uint8_t* data, std::size_t size);
    // Call when now has reached Deadline(); earlier calls do nothing.
    void Tick(Millis now);

    // When the machine next wants Tick; meaningless once Finished().
    Millis Deadline() const { return timer_.Deadline(); }
    std::vector<Datagram> TakeOutgoing();

    // A GET is complete (the file whole) before it is finished: it lingers.
    bool Complete() const { return complete_; }
    bool Finished() const { return phase_ == Phase::Done || phase_ == Phase::Failed; }
    TransferResult Result() const;
    const std::string& Error() const { return error_; }

    std::uint64_t LocalBytes() const;
    std::size_t BlockSize() const { return options_.blockSize; }
    std::size_t WindowSize() const { return options_.windowSize; }
    bool OptionsAccepted() const { return optionsAccepted_; }
    std::optional<std::uint64_t> TransferSize() const { return options_.tsize; }
    unsigned Retransmissions() const { return timer_.Retransmissions(); }
    // Notes for -v: what was negotiated, retried, ignored.
    std::vector<std::string> TakeNotes();

private:
    enum class Phase { Requesting, AwaitingFirstData, Transferring, Lingering, Done, Failed };

    void SendRequest(Millis now);
    void Send(const Peer& to, std::vector<std::uint8_t> bytes);
    void SendError(const Peer& to, std::uint16_t code, const std::string& message);
    void SendAck(std::uint64_t block);
    void Reacknowledge();
    void Fail(std::string message);

    void HandleFirstReply(Millis now, const Peer& from, const std::uint8_t* data, std::size_t size);
    void HandleFirstError(Millis now, const std::uint8_t* data, std::size_t size);
    void TakeOack(Millis now, const std::uint8_t* data, std::size_t size);
    void HandleServerError(const std::uint8_t* data, std::size_t size);
    void RefuseUnexpected(std::uint16_t opcode);

    // PUT
    void BeginSending(Millis now);
    bool SendWindow(Millis now);
    void SendNextWindow(Millis now);
    void HandlePutPacket(Millis now, const std::uint8_t* data, std::size_t size);
    // GET
    void HandleGetPacket(Millis now, const std::uint8_t* data, std::size_t size);
    void AcceptData(Millis now, const std::uint8_t* payload, std::size_t size, bool last);
    void FinishReceiving(Millis now);

    Settings settings_;
    Phase phase_ = Phase::Requesting;
    bool complete_ = false;
    std::string error_;
    std::vector<Datagram> out_;
    std::vector<std::string> notes_;

    bool optionsSent_ = false;
    bool retriedPlain_ = false;
    bool optionsAccepted_ = false;
    Peer tid_;
    Negotiated options_;
    SendStamp requestSent_;
    RetransmissionTimer timer_;
    Sender sender_;
    Receiver receiver_;
};

} // namespace tftp
