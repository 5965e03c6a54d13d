#include "platform/qt/qt_gui_hook.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <limits>

#include "platform/shell.h"

namespace platform::qt {

QtGuiHook::QtGuiHook() : dispatcher_(QAbstractEventDispatcher::instance(QThread::currentThread())) {}

void QtGuiHook::ProcessEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtGuiHook::WaitForEvents(std::chrono::milliseconds limit) {
    if (dispatcher_ == nullptr) return;
    // The dispatcher returns after handling what woke it; a single-shot timer bounds the wait.
    QTimer limitTimer;
    limitTimer.setSingleShot(true);
    if (limit != std::chrono::milliseconds::max()) {
        auto bounded = std::min<std::chrono::milliseconds::rep>(limit.count(), std::numeric_limits<int>::max());
        limitTimer.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(bounded, 0)));
    }
    dispatcher_->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtGuiHook::Wake() {
    if (dispatcher_ != nullptr) dispatcher_->wakeUp();
}

QtPlatformSetup::QtPlatformSetup() {
    SetGuiHook(&hook_);
    SetBellHook([] { QApplication::beep(); });
}

QtPlatformSetup::~QtPlatformSetup() {
    SetBellHook({});
    SetGuiHook(nullptr);
}

}  // namespace platform::qt
