// Taking turns: at most a few of a run's units at once in one part of their work (starting
// arp.exe and route.exe, sending an image), the others waiting for a turn.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <stop_token>

// A mutex and a condition variable rather than std::counting_semaphore, whose wake-ups
// GCC 12's library can lose where there is no futex (MinGW): a run hung.
class Turns {
public:
    explicit Turns(std::size_t atOnce) : atOnce_(atOnce) {}

    // One turn, held until destroyed; empty when `stop` came first (the wait for a turn
    // looks at it every 50 ms: no stop callback, whose removal can hang as above).
    class Turn {
    public:
        Turn() = default;
        explicit Turn(Turns& turns) : turns_(&turns) {}
        Turn(Turn&& other) noexcept : turns_(other.turns_) { other.turns_ = nullptr; }
        Turn& operator=(Turn&& other) noexcept;
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;
        ~Turn() { Release(); }
        explicit operator bool() const { return turns_ != nullptr; }
        void Release();

    private:
        Turns* turns_ = nullptr;
    };

    Turn Take(std::stop_token stop = {});

private:
    void Give();

    const std::size_t atOnce_;
    std::mutex mutex_;
    std::condition_variable turn_;
    std::size_t taken_ = 0;
};
