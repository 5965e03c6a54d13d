#pragma once
// What the message queue and the sockets share on Windows: the message numbers the platform
// keeps for itself, window handles, and the translation of socket messages.

#include <optional>

#include "platform/message_queue.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {

// Private message numbers, above those a program chooses (WM_USER .. WM_APP - 1).
constexpr UINT CarrierMessage = WM_APP;      // wParam: key of a Message kept beside the queue
constexpr UINT PassEndMessage = WM_APP + 1;  // wParam: number of the pass it ends
// Each socket's selection gets a number of its own, so that its messages can be told apart
// from those of a socket closed earlier under the same handle.
constexpr UINT FirstSocketMessage = WM_APP + 16;
constexpr UINT LastSocketMessage = 0xBFFF;
constexpr bool IsSocketMessage(UINT message) {
    return message >= FirstSocketMessage && message <= LastSocketMessage;
}

WindowHandle HandleOf(HWND window);
HWND WindowOf(WindowHandle handle);

// The platform's Message for a socket event; nullopt for a stale one.
std::optional<Message> TranslateSocketMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace platform::win32
