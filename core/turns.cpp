// Taking turns.
#include "core/turns.h"

#include <chrono>
#include <utility>

Turns::Turn& Turns::Turn::operator=(Turn&& other) noexcept {
    if (this != &other) {
        Release();
        turns_ = std::exchange(other.turns_, nullptr);
    }
    return *this;
}

void Turns::Turn::Release() {
    if (turns_ != nullptr) {
        std::exchange(turns_, nullptr)->Give();
    }
}

Turns::Turn Turns::Take(std::stop_token stop) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (taken_ >= atOnce_) {
        if (stop.stop_requested()) {
            return {};
        }
        turn_.wait_for(lock, std::chrono::milliseconds(50));
    }
    ++taken_;
    return Turn(*this);
}

void Turns::Give() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        --taken_;
    }
    turn_.notify_one();
}
