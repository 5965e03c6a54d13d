#pragma once
// What the program's top-level windows share: the object behind a window, their controls laid
// out at 96 DPI and scaled, and the centring.

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

// The window procedure of a form's class: each message goes to the form's HandleMessage once the
// form is known. A form lets it in as a friend.
template <typename Form>
LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Form* form = FormOfWindow<Form>(window, message, lParam);
    if (form == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    form->window_ = window;
    return form->HandleMessage(message, wParam, lParam);
}

inline int ScaledToDpi(int pixelsAt96, int dpi) { return ::MulDiv(pixelsAt96, dpi, 96); }

// A top-level form of the program: a class of its own (the program's icon, white ground) whose
// procedure is procedure, and a window under the program's title with a tool window's small
// caption, only a close box and an entry in the task bar, its client area the given size at 96
// DPI scaled to dpi. form is the creation parameter. Throws what when the system refuses it.
HWND CreateFormWindow(const wchar_t* windowClass, WNDPROC procedure, SIZE client96, int dpi, HWND owner, void* form,
                      const char* what);

// A visible child control with its id and font, at its place at 96 DPI (left, top, width,
// height) scaled to dpi. Throws when the system refuses it.
HWND CreateChildControl(HWND parent, int dpi, int id, const wchar_t* windowClass, const wchar_t* text, DWORD style,
                        DWORD exStyle, RECT bounds96, HFONT font);

inline void CentreOnScreen(HWND window) {
    RECT frame;
    ::GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    ::SetWindowPos(window, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace app::win32
