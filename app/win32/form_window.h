#pragma once
// What the program's top-level windows share: the object behind a window, and the centring.

#include <windows.h>

namespace app::win32 {

// The object a window was created for (its creation parameter), kept with the window from its
// first message on; null for the messages before that.
template <typename Form>
Form* FormOfWindow(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        return form;
    }
    return reinterpret_cast<Form*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

inline void CentreOnScreen(HWND window) {
    RECT frame;
    ::GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    ::SetWindowPos(window, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace app::win32
