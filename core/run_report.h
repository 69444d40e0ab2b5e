// What a run of a list has come to, as the list page draws it and the command line counts
// it: units started, finished, succeeded and failed, the counts line shown while it runs and
// the summary at its end. The same for addressing units and for sending them images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

class RunReport {
public:
    RunReport() = default;
    // `took`: what a unit that succeeded did, as the counts say it ("took their address").
    RunReport(std::size_t units, std::wstring took) : units_(units), took_(std::move(took)) {}

    // Another Varnok holds the PC's tables: the run waits before its first unit.
    void Waiting() { waiting_ = true; }
    void Started() { ++started_; }
    void Finished(bool succeeded);

    std::size_t Finished() const { return finished_; }
    std::size_t Succeeded() const { return succeeded_; }
    // Every unit of the run finished and succeeded.
    bool AllSucceeded() const { return succeeded_ == units_; }
    // "0:42   3 took their address, 1 failed, 2 in flight, of 20", `elapsedMs` into the run.
    std::wstring Counts(std::uint64_t elapsedMs) const;
    // "18 of 20 units took their address": of the units that finished.
    std::wstring Summary() const;

private:
    std::size_t units_ = 0;
    std::wstring took_;
    std::size_t started_ = 0;
    std::size_t finished_ = 0;
    std::size_t succeeded_ = 0;
    bool waiting_ = false;
};

// What a unit that took every image chosen did: "took both images", "took the firmware",
// "took the web pages".
std::wstring ImagesTaken(bool firmware, bool webPages);
