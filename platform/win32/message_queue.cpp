// The queue is the GUI thread's own Windows message queue: every window is a hidden message-only
// window of a private class, posts are PostMessageW, timers are SetTimer, a pass is PeekMessageW
// and DispatchMessageW, and a wait is MsgWaitForMultipleObjectsEx.
//
// A Message field that a window message cannot carry (the source, the addresses of a lookup) travels
// beside the queue: the window message then carries the key of its record, and purging the
// source deletes the record, so the message is dropped when it comes up.
#include "platform/message_queue.h"
#include "platform/win32/queue_internals.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <set>
#include <unordered_map>

namespace platform {
namespace {

constexpr wchar_t WindowClassName[] = L"MiltePostMessageWindow";

struct Queue {
    std::unordered_map<HWND, std::shared_ptr<WindowProc>> windows;  // GUI thread only
    HWND passWindow = nullptr;     // receives the markers that end a pass
    WPARAM passesStarted = 0;
    WPARAM passesEnded = 0;
    GuiHook* hook = nullptr;

    std::mutex mutex;  // guards what follows: other threads post and make sources
    std::unordered_map<std::uint64_t, Message> carried;
    std::uint64_t nextCarried = 1;
    std::uint64_t nextSource = 1;
};

// Never destroyed: a host lookup still running on its worker as the program ends posts its
// completion to a queue that is still there, not to one torn down by the exit.
Queue& TheQueue() {
    static Queue& queue = *new Queue;
    return queue;
}

std::optional<Message> TakeCarried(WPARAM key) {
    Queue& q = TheQueue();
    std::lock_guard lock(q.mutex);
    auto found = q.carried.find(static_cast<std::uint64_t>(key));
    if (found == q.carried.end()) return std::nullopt;  // purged
    Message message = found->second;
    q.carried.erase(found);
    return message;
}

// The Message a window message stands for; nullopt when it is to be dropped.
std::optional<Message> Translate(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == win32::CarrierMessage) return TakeCarried(wParam);
    if (win32::IsSocketMessage(message))
        return win32::TranslateSocketMessage(window, message, wParam, lParam);
    if (message == WM_TIMER || (message >= WM_USER && message < WM_APP))
        return Message{win32::HandleOf(window), message, wParam, static_cast<std::uint32_t>(lParam), 0};
    return std::nullopt;
}

LRESULT CALLBACK MessageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Queue& q = TheQueue();
    auto found = q.windows.find(window);
    if (found == q.windows.end()) return ::DefWindowProcW(window, message, wParam, lParam);
    std::shared_ptr<WindowProc> procedure = found->second;  // survives the window's destruction
    std::optional<Message> translated = Translate(window, message, wParam, lParam);
    if (!translated) return ::DefWindowProcW(window, message, wParam, lParam);
    (*procedure)(*translated);
    return 0;
}

bool RegisterWindowClass() {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = MessageWindowProc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = WindowClassName;
        return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

HWND CreateMessageWindow() {
    if (!RegisterWindowClass()) return nullptr;
    return ::CreateWindowExW(0, WindowClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

HWND PassWindow() {
    Queue& q = TheQueue();
    if (q.passWindow == nullptr) q.passWindow = CreateMessageWindow();
    return q.passWindow;
}

// Removes the window's queued messages without dispatching them, with their carried records.
void DropQueuedMessages(HWND window) {
    MSG message;
    while (::PeekMessageW(&message, window, 0, 0, PM_REMOVE | PM_NOYIELD)) {
        if (message.message == win32::CarrierMessage) TakeCarried(message.wParam);
    }
}

void Dispatch(MSG& message) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

// The posted messages pending now: a marker posted behind them ends the pass. A nested pass
// (a handler's) ends at its own marker, beyond the outer one, and so ends the outer pass too.
void DispatchPostedMessages() {
    Queue& q = TheQueue();
    const WPARAM pass = ++q.passesStarted;
    if (!::PostMessageW(PassWindow(), win32::PassEndMessage, pass, 0)) return;
    MSG message;
    while (q.passesEnded < pass && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.hwnd == q.passWindow && message.message == win32::PassEndMessage)
            q.passesEnded = std::max(q.passesEnded, message.wParam);
        else
            Dispatch(message);
    }
}

// Input and painting of any windows of the thread, which the system hands out only after
// the posted messages.
void DispatchInputAndPaint() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT | PM_QS_PAINT)) Dispatch(message);
}

// The system makes a timer message when the queue is checked and the timer is due; each due
// timer ticks once per pass, however short its period.
void DispatchDueTimers() {
    std::set<std::pair<HWND, WPARAM>> ticked;
    MSG message;
    while (::PeekMessageW(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
        if (!ticked.emplace(message.hwnd, message.wParam).second) break;
        Dispatch(message);
    }
}

}  // namespace

namespace win32 {

WindowHandle HandleOf(HWND window) {
    // Window handles carry 32 significant bits on 64-bit Windows too.
    return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(window));
}

HWND WindowOf(WindowHandle handle) {
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<std::int32_t>(handle)));
}

}  // namespace win32

WindowHandle AllocateWindow(WindowProc procedure) {
    HWND window = CreateMessageWindow();
    if (window == nullptr) return 0;
    TheQueue().windows.emplace(window, std::make_shared<WindowProc>(std::move(procedure)));
    return win32::HandleOf(window);
}

void DeallocateWindow(WindowHandle handle) {
    Queue& q = TheQueue();
    HWND window = win32::WindowOf(handle);
    if (q.windows.erase(window) == 0) return;
    DropQueuedMessages(window);
    ::DestroyWindow(window);  // its timers go with it
}

bool IsWindow(WindowHandle window) { return TheQueue().windows.contains(win32::WindowOf(window)); }

void PostMessage(const Message& message) {
    HWND window = win32::WindowOf(message.window);
    if (message.source == 0 && !message.hostAddresses && message.message < WM_APP) {
        ::PostMessageW(window, message.message, message.wParam, static_cast<LPARAM>(message.lParam));
        return;
    }
    Queue& q = TheQueue();
    std::uint64_t key;
    {
        std::lock_guard lock(q.mutex);
        key = q.nextCarried++;
        q.carried.emplace(key, message);
    }
    if (!::PostMessageW(window, win32::CarrierMessage, static_cast<WPARAM>(key), 0)) TakeCarried(key);
}

void PurgeMessages(std::uint64_t source) {
    if (source == 0) return;
    Queue& q = TheQueue();
    std::lock_guard lock(q.mutex);
    std::erase_if(q.carried, [source](const auto& entry) { return entry.second.source == source; });
}

std::uint64_t NewMessageSource() {
    Queue& q = TheQueue();
    std::lock_guard lock(q.mutex);
    return q.nextSource++;
}

bool SetTimer(WindowHandle window, std::uintptr_t id, std::uint32_t periodMs) {
    if (!IsWindow(window)) return false;
    return ::SetTimer(win32::WindowOf(window), id, std::max<std::uint32_t>(periodMs, 1), nullptr) != 0;
}

void KillTimer(WindowHandle window, std::uintptr_t id) {
    if (IsWindow(window)) ::KillTimer(win32::WindowOf(window), id);
}

void ProcessMessages() {
    DispatchPostedMessages();
    DispatchInputAndPaint();
    DispatchDueTimers();
    if (GuiHook* hook = TheQueue().hook) hook->ProcessEvents();
}

void WaitMessage(std::chrono::milliseconds limit) {
    DWORD timeout = INFINITE;
    if (limit != std::chrono::milliseconds::max())
        timeout = static_cast<DWORD>(std::clamp<std::chrono::milliseconds::rep>(limit.count(), 0, INFINITE - 1));
    // Anything already in the queue, seen or not, ends the wait at once; so does a due timer.
    ::MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void PumpUntil(const std::function<bool()>& done) {
    for (;;) {
        ProcessMessages();
        if (done()) return;
        WaitMessage();
    }
}

// The system's own loop is the GUI's: a hook only gets its share of each pass.
void SetGuiHook(GuiHook* hook) { TheQueue().hook = hook; }

}  // namespace platform
