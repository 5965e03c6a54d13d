#include "app/send_watchdog.h"

#include <utility>

namespace app {

SendWatchdog::SendWatchdog(std::chrono::milliseconds limit, std::function<void()> onStall)
    : limit_(limit), onStall_(std::move(onStall)) {
    timer_.SetEnabled(false);
    timer_.SetInterval(static_cast<std::uint32_t>(limit_.count()));
    timer_.SetOnTimer([this](platform::TObject*) { Expire(); });
}

void SendWatchdog::Start() {
    expired_ = false;
    timer_.SetInterval(static_cast<std::uint32_t>(limit_.count()));
    timer_.SetEnabled(false);  // a change of Enabled restarts the countdown
    timer_.SetEnabled(true);
}

void SendWatchdog::Feed() {
    if (!Running()) return;
    timer_.SetEnabled(false);
    timer_.SetEnabled(true);
}

void SendWatchdog::Trip() {
    timer_.SetEnabled(true);  // for the re-cancels
    Expire();
}

void SendWatchdog::Stop() { timer_.SetEnabled(false); }

void SendWatchdog::Expire() {
    if (!expired_) {
        expired_ = true;
        timer_.SetInterval(static_cast<std::uint32_t>(RecancelInterval.count()));
    }
    if (onStall_) onStall_();
}

}  // namespace app
