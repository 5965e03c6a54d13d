#include "platform/shell.h"

#include <utility>

#include "platform/system_beep.h"

namespace platform {
namespace {

std::function<void()>& BellHook() {
    static std::function<void()> bell;
    return bell;
}

}  // namespace

void SetBellHook(std::function<void()> bell) { BellHook() = std::move(bell); }

void MessageBeep() {
    if (BellHook()) BellHook()();
    else SystemBeep();
}

}  // namespace platform
