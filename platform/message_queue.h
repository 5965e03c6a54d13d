#pragma once
// The GUI thread's message queue: hidden message windows, posted messages, millisecond timers,
// and the pass over pending messages that dispatches them.
//
// Messages are dispatched only on the GUI thread and only inside ProcessMessages(); they may be
// posted from any thread. A wait never spins: WaitMessage() blocks until a message is posted, a
// timer falls due, the GUI has events of its own, or the time limit passes.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace platform::net {
struct SocketAddress;
}

namespace platform {

using WindowHandle = std::uint32_t;  // 0 = no window

constexpr std::uint32_t WM_TIMER = 0x0113;
constexpr std::uint32_t WM_USER = 1024;

struct Message {
    WindowHandle window = 0;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::uint32_t lParam = 0;       // socket messages: low word event, high word error code
    std::uint64_t source = 0;       // what posted it (a socket's registration); 0 = anything else
    // A host lookup's completion: every address found.
    std::shared_ptr<const std::vector<net::SocketAddress>> hostAddresses{};
};

constexpr std::uint16_t LoWord(std::uint32_t value) { return static_cast<std::uint16_t>(value & 0xFFFF); }
constexpr std::uint16_t HiWord(std::uint32_t value) { return static_cast<std::uint16_t>(value >> 16); }
constexpr std::uint32_t MakeLParam(std::uint16_t low, std::uint16_t high) {
    return static_cast<std::uint32_t>(low) | (static_cast<std::uint32_t>(high) << 16);
}

using WindowProc = std::function<void(const Message&)>;

// A hidden window that receives messages through its procedure. Returns 0 on failure.
WindowHandle AllocateWindow(WindowProc procedure);
// Destroys the window and its timers; messages still queued for it are dropped.
void DeallocateWindow(WindowHandle window);
bool IsWindow(WindowHandle window);

// Queues a message for the window; safe from any thread.
void PostMessage(const Message& message);
// Drops every queued message that came from the given source.
void PurgeMessages(std::uint64_t source);
// A fresh, never reused source number.
std::uint64_t NewMessageSource();

// A periodic timer: WM_TIMER with wParam = id every period (at least 1 ms). Setting an existing
// timer restarts its countdown. False when the window does not exist.
bool SetTimer(WindowHandle window, std::uintptr_t id, std::uint32_t periodMs);
void KillTimer(WindowHandle window, std::uintptr_t id);

// Dispatches every message pending now, due timers included, and lets the GUI handle its events.
void ProcessMessages();
// Blocks until something may be pending (a posted message, a due timer, a GUI event) or the limit
// passes. Returns at once when something is already pending.
void WaitMessage(std::chrono::milliseconds limit = std::chrono::milliseconds::max());
// Waits and dispatches until done() holds; done() is tested after each pass.
void PumpUntil(const std::function<bool()>& done);

// The GUI toolkit's share of every pass: its own event processing, a blocking wait that a posted
// message can interrupt, and a thread-safe wake-up.
class GuiHook {
public:
    virtual ~GuiHook() = default;
    virtual void ProcessEvents() = 0;
    virtual void WaitForEvents(std::chrono::milliseconds limit) = 0;
    virtual void Wake() = 0;
};
// Installs the hook (nullptr removes it). The hook must outlive its installation.
void SetGuiHook(GuiHook* hook);

}  // namespace platform
