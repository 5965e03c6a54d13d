#pragma once
// What the program asks of the desktop shell: the default alert sound and handing a URL to the
// user's web browser.

#include <functional>
#include <string>

namespace platform {

// The system's default alert sound (message-beep type 0). Returns at once.
void MessageBeep();
// The GUI toolkit's own bell, used by MessageBeep while installed (an empty function removes it).
void SetBellHook(std::function<void()> bell);

// Hands the URL (CP932) to the user's default web browser and returns without waiting for it.
// False when no browser could be started.
bool OpenUrl(const std::string& cp932Url);

}  // namespace platform
