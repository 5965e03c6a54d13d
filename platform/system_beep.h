#pragma once
// Inside the platform: the system's own alert sound, which MessageBeep gives without a toolkit.

namespace platform {

void SystemBeep();

}  // namespace platform
