// What a run of a list has come to.
#include "core/run_report.h"

void RunReport::Finished(bool succeeded) {
    ++finished_;
    succeeded_ += succeeded ? 1 : 0;
}

std::wstring RunReport::Counts(std::uint64_t elapsedMs) const {
    const std::uint64_t seconds = elapsedMs / 1000;
    const std::wstring elapsed = std::to_wstring(seconds / 60) +
                                 (seconds % 60 < 10 ? L":0" : L":") + std::to_wstring(seconds % 60);
    if (waiting_ && started_ == 0) {
        return elapsed + L"   waits for another Varnok";
    }
    return elapsed + L"   " + std::to_wstring(succeeded_) + L" " + took_ + L", " +
           std::to_wstring(finished_ - succeeded_) + L" failed, " +
           std::to_wstring(started_ - finished_) + L" in flight, of " + std::to_wstring(units_);
}

std::wstring RunReport::Summary() const {
    return std::to_wstring(succeeded_) + L" of " + std::to_wstring(finished_) + L" units " + took_;
}

std::wstring ImagesTaken(bool firmware, bool webPages) {
    if (firmware && webPages) {
        return L"took both images";
    }
    return firmware ? L"took the firmware" : L"took the web pages";
}
