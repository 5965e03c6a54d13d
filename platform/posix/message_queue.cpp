#include "platform/message_queue.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
    WindowHandle window;
    std::uintptr_t id;
    std::chrono::milliseconds period;
    Clock::time_point due;
};

// Posted messages are shared with other threads; windows and timers belong to the GUI thread.
struct Queue {
    std::mutex mutex;
    std::condition_variable posted;
    std::deque<Message> messages;
    GuiHook* hook = nullptr;
    std::uint64_t nextSource = 1;

    std::unordered_map<WindowHandle, std::shared_ptr<WindowProc>> windows;
    WindowHandle nextWindow = 1;
    std::vector<Timer> timers;
};

Queue& TheQueue() {
    static Queue queue;
    return queue;
}

bool PopMessage(Message& message) {
    Queue& q = TheQueue();
    std::lock_guard lock(q.mutex);
    if (q.messages.empty()) return false;
    message = std::move(q.messages.front());
    q.messages.pop_front();
    return true;
}

std::size_t PendingCount() {
    Queue& q = TheQueue();
    std::lock_guard lock(q.mutex);
    return q.messages.size();
}

void Dispatch(const Message& message) {
    Queue& q = TheQueue();
    auto found = q.windows.find(message.window);
    if (found == q.windows.end()) return;  // the window is gone: the message is harmless
    std::shared_ptr<WindowProc> procedure = found->second;  // survives the window's destruction
    (*procedure)(message);
}

// Timer messages are made when the queue is checked, after the posted ones, as a system does.
void DispatchDueTimers() {
    Queue& q = TheQueue();
    const Clock::time_point now = Clock::now();
    std::vector<std::pair<WindowHandle, std::uintptr_t>> due;
    for (Timer& timer : q.timers) {
        if (timer.due > now) continue;
        due.emplace_back(timer.window, timer.id);
        timer.due = now + timer.period;  // missed ticks are not made up
    }
    for (const auto& [window, id] : due) {
        bool stillSet = std::any_of(q.timers.begin(), q.timers.end(), [&](const Timer& t) {
            return t.window == window && t.id == id;
        });
        if (stillSet) Dispatch(Message{window, WM_TIMER, id, 0, 0});
    }
}

std::optional<Clock::time_point> NextTimerDue() {
    Queue& q = TheQueue();
    std::optional<Clock::time_point> next;
    for (const Timer& timer : q.timers)
        if (!next || timer.due < *next) next = timer.due;
    return next;
}

}  // namespace

WindowHandle AllocateWindow(WindowProc procedure) {
    Queue& q = TheQueue();
    WindowHandle handle = q.nextWindow++;
    q.windows.emplace(handle, std::make_shared<WindowProc>(std::move(procedure)));
    return handle;
}

void DeallocateWindow(WindowHandle window) {
    Queue& q = TheQueue();
    q.windows.erase(window);
    std::erase_if(q.timers, [window](const Timer& t) { return t.window == window; });
    std::lock_guard lock(q.mutex);
    std::erase_if(q.messages, [window](const Message& m) { return m.window == window; });
}

bool IsWindow(WindowHandle window) { return TheQueue().windows.contains(window); }

void PostMessage(const Message& message) {
    Queue& q = TheQueue();
    GuiHook* hook;
    {
        std::lock_guard lock(q.mutex);
        q.messages.push_back(message);
        hook = q.hook;
    }
    q.posted.notify_one();
    if (hook != nullptr) hook->Wake();
}

void PurgeMessages(std::uint64_t source) {
    if (source == 0) return;
    Queue& q = TheQueue();
    std::lock_guard lock(q.mutex);
    std::erase_if(q.messages, [source](const Message& m) { return m.source == source; });
}

std::uint64_t NewMessageSource() {
    Queue& q = TheQueue();
    std::lock_guard lock(q.mutex);
    return q.nextSource++;
}

bool SetTimer(WindowHandle window, std::uintptr_t id, std::uint32_t periodMs) {
    Queue& q = TheQueue();
    if (!q.windows.contains(window)) return false;
    const std::chrono::milliseconds period(std::max<std::uint32_t>(periodMs, 1));
    KillTimer(window, id);
    q.timers.push_back(Timer{window, id, period, Clock::now() + period});
    return true;
}

void KillTimer(WindowHandle window, std::uintptr_t id) {
    std::erase_if(TheQueue().timers,
                  [&](const Timer& t) { return t.window == window && t.id == id; });
}

void ProcessMessages() {
    // Only what is pending now: a handler that keeps posting cannot hold the pass for ever.
    // Handlers may run a pass of their own; both take from the one queue, in order.
    for (std::size_t n = PendingCount(); n > 0; --n) {
        Message message;
        if (!PopMessage(message)) break;
        Dispatch(message);
    }
    DispatchDueTimers();
    GuiHook* hook;
    {
        std::lock_guard lock(TheQueue().mutex);
        hook = TheQueue().hook;
    }
    if (hook != nullptr) hook->ProcessEvents();
}

void WaitMessage(std::chrono::milliseconds limit) {
    Queue& q = TheQueue();
    const Clock::time_point now = Clock::now();
    Clock::time_point deadline = Clock::time_point::max();
    if (limit != std::chrono::milliseconds::max()) deadline = now + limit;
    if (auto timerDue = NextTimerDue(); timerDue && *timerDue < deadline) deadline = *timerDue;
    if (deadline <= now) return;

    std::unique_lock lock(q.mutex);
    if (!q.messages.empty()) return;
    if (GuiHook* hook = q.hook) {
        lock.unlock();  // a post in between wakes the hook, whose next wait then returns at once
        auto wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        if (deadline == Clock::time_point::max()) wait = std::chrono::milliseconds::max();
        hook->WaitForEvents(wait);
        return;
    }
    auto pending = [&q] { return !q.messages.empty(); };
    if (deadline == Clock::time_point::max()) q.posted.wait(lock, pending);
    else q.posted.wait_until(lock, deadline, pending);
}

void PumpUntil(const std::function<bool()>& done) {
    for (;;) {
        ProcessMessages();
        if (done()) return;
        WaitMessage();
    }
}

void SetGuiHook(GuiHook* hook) {
    std::lock_guard lock(TheQueue().mutex);
    TheQueue().hook = hook;
}

}  // namespace platform
