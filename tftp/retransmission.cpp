// The retransmission timer: RFC 6298's estimator in whole milliseconds.
#include "tftp/retransmission.h"

#include <algorithm>

namespace tftp {

namespace {

// Retransmission timeout bounds once round trips have been measured. The floor keeps a
// busy unit that answers a little late from being flooded; the ceiling keeps the
// back-off from sleeping through most of the stall limit in one step.
constexpr Millis kMinRto = 50;
constexpr Millis kMaxRto = 16000;

} // namespace

void RetransmissionTimer::Answered(const SendStamp& sent, Millis now) {
    if (!sent.resent) {
        Sample(now - sent.at);
    }
}

void RetransmissionTimer::Sample(Millis rtt) {
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

void RetransmissionTimer::Progress(Millis now, Millis limit) {
    giveUpAt_ = now + limit;
    rto_ = haveSample_ ? std::clamp(srtt_ + std::max<Millis>(10, 4 * rttvar_), kMinRto, kMaxRto)
                       : initialTimeout_;
    Rearm(now);
}

void RetransmissionTimer::BackOff() {
    rto_ = std::min(rto_ * 2, std::max(kMaxRto, initialTimeout_));
    ++retransmissions_;
}

void RetransmissionTimer::Rearm(Millis now) {
    deadline_ = std::min(now + rto_, giveUpAt_);
}

} // namespace tftp
