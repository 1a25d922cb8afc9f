#include "idle_pump.h"

#include <iostream>
#include <thread>

#include "sdk/app/rhino_app.h"

namespace vantro::host {

void idleFor(std::chrono::milliseconds duration) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    for (auto now = std::chrono::steady_clock::now(); now < deadline; now = std::chrono::steady_clock::now()) {
        RhinoApp().OnIdle();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        std::this_thread::sleep_for(std::min(left, kIdleInterval));
    }
}

InputLines::InputLines() : shared_(std::make_shared<Shared>()) {
    std::thread([shared = shared_] {
        for (std::string line;;) {
            const bool got = static_cast<bool>(std::getline(std::cin, line));
            const std::lock_guard<std::mutex> lock(shared->mutex);
            if (got)
                shared->lines.push_back(std::move(line));
            else
                shared->ended = true;
            shared->ready.notify_one();
            if (!got)
                return;
        }
    }).detach();
}

InputLines::~InputLines() = default;

bool InputLines::next(std::string& line, bool idle) {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    const auto arrived = [this] { return !shared_->lines.empty() || shared_->ended; };
    while (!arrived()) {
        if (!idle) {
            shared_->ready.wait(lock, arrived);
            break;
        }
        if (shared_->ready.wait_for(lock, kIdleInterval, arrived))
            break;
        // The pump runs plug-in code, which must not hold up the reader.
        lock.unlock();
        RhinoApp().OnIdle();
        lock.lock();
    }
    if (shared_->lines.empty())
        return false;
    line = std::move(shared_->lines.front());
    shared_->lines.pop_front();
    return true;
}

}  // namespace vantro::host
