// When a transfer resends and when it gives up: the retransmission timeout of RFC 6298
// (a smoothed round trip and its variation), Karn's rule for which answers may be timed,
// exponential back-off, and the silence after which the transfer ends.
#pragma once

#include "tftp/protocol.h"

namespace tftp {

// When a packet that an answer will be timed against went out, and whether it went more
// than once: then nobody can tell which copy was answered, and the answer gives no sample.
struct SendStamp {
    Millis at = 0;
    bool resent = false;
};

class RetransmissionTimer {
public:
    explicit RetransmissionTimer(Millis initialTimeout) : initialTimeout_(initialTimeout) {}

    // The peer answered what went out at sent: a round-trip sample, by Karn's rule only
    // when it went once.
    void Answered(const SendStamp& sent, Millis now);
    // Progress was made: one timeout until the next resend, at most limit until giving up.
    void Progress(Millis now, Millis limit);
    // A timeout fired and something goes again: one more retransmission, twice the wait.
    void BackOff();
    // The next timeout from now, never past the time of giving up.
    void Rearm(Millis now);
    // Wakes the transfer at a fixed time, whatever the round trips.
    void WakeAt(Millis at) { deadline_ = at; }

    Millis Deadline() const { return deadline_; }
    bool Due(Millis now) const { return now >= deadline_; }
    bool GivenUp(Millis now) const { return now >= giveUpAt_; }
    unsigned Retransmissions() const { return retransmissions_; }

private:
    void Sample(Millis rtt);

    Millis initialTimeout_;
    Millis deadline_ = 0;
    Millis giveUpAt_ = 0;
    Millis rto_ = 0;
    Millis srtt_ = 0;
    Millis rttvar_ = 0;
    bool haveSample_ = false;
    unsigned retransmissions_ = 0;
};

} // namespace tftp
