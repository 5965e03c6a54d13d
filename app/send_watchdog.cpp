#include "app/send_watchdog.h"

#include <utility>

namespace app {

SendWatchdog::SendWatchdog(std::chrono::milliseconds limit, std::function<void()> onStall)
    : onStall_(std::move(onStall)) {
    timer_.SetEnabled(false);
    timer_.SetInterval(static_cast<std::uint32_t>(limit.count()));
    timer_.SetOnTimer([this](platform::TObject*) { Expire(); });
}

void SendWatchdog::Start() {
    expired_ = false;
    timer_.SetEnabled(false);  // a change of Enabled restarts the countdown
    timer_.SetEnabled(true);
}

void SendWatchdog::Feed() {
    if (!Running()) return;
    timer_.SetEnabled(false);
    timer_.SetEnabled(true);
}

void SendWatchdog::Stop() { timer_.SetEnabled(false); }

void SendWatchdog::Expire() {
    Stop();
    expired_ = true;
    if (onStall_) onStall_();
}

}  // namespace app
