#pragma once
// A bound on a send that has stopped making progress. The components' own time-out counts from
// the start of each operation and does not cover the data transfer, so a server that accepts
// and then falls silent, or stops reading the data, would keep a send (which has no window to
// cancel from) waiting for ever. The watchdog counts from the last sign of progress instead;
// when the limit passes it calls onStall, which cancels whatever is working. From then on the
// send is over, and every wait that follows (a component that says good-bye to the silent
// server on its way out, say) is cancelled too: onStall is called again at short intervals
// until the watchdog is stopped or started afresh. A cancel by the user trips it the same way.
//
// Its ticks arrive through the message queue, like the components' notifications, so it fires
// only while a component waits.

#include <chrono>
#include <functional>

#include "net/socket/psock.h"

namespace app {

class SendWatchdog {
public:
    SendWatchdog(std::chrono::milliseconds limit, std::function<void()> onStall);

    static constexpr std::chrono::milliseconds RecancelInterval{50};

    // Starts counting afresh; clears an earlier expiry.
    void Start();
    // A sign of progress: counts afresh if running.
    void Feed();
    // Ends the send now, as the limit passing would: the user has cancelled it.
    void Trip();
    // Stops counting (while the user reads a dialog, say).
    void Stop();
    bool Running() const { return timer_.Enabled(); }
    bool Expired() const { return expired_; }

private:
    void Expire();

    std::chrono::milliseconds limit_;
    psock::TThreadTimer timer_;
    std::function<void()> onStall_;
    bool expired_ = false;
};

}  // namespace app
