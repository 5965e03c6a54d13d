#pragma once
// The Qt event loop's share of the platform message queue: while a network component waits in
// the queue, Qt keeps painting and running dialogs, and a posted message wakes Qt's wait.

#include <chrono>

#include "platform/message_queue.h"

class QAbstractEventDispatcher;

namespace platform::qt {

// Create and install on the GUI thread, after the QApplication.
class QtGuiHook : public GuiHook {
public:
    QtGuiHook();
    void ProcessEvents() override;
    void WaitForEvents(std::chrono::milliseconds limit) override;
    void Wake() override;  // any thread

private:
    QAbstractEventDispatcher* dispatcher_;  // the GUI thread's
};

// Installs the hook and Qt's bell for the platform's alert sound; both removed on destruction.
class QtPlatformSetup {
public:
    QtPlatformSetup();
    ~QtPlatformSetup();
    QtPlatformSetup(const QtPlatformSetup&) = delete;
    QtPlatformSetup& operator=(const QtPlatformSetup&) = delete;

private:
    QtGuiHook hook_;
};

}  // namespace platform::qt
