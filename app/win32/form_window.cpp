#include "app/win32/form_window.h"

#include <stdexcept>

namespace app::win32 {

HWND CreateChildControl(HWND parent, int dpi, int id, const wchar_t* windowClass, const wchar_t* text, DWORD style,
                        DWORD exStyle, RECT bounds96, HFONT font) {
    HWND control = ::CreateWindowExW(exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style,
                                     ScaledToDpi(bounds96.left, dpi), ScaledToDpi(bounds96.top, dpi),
                                     ScaledToDpi(bounds96.right, dpi), ScaledToDpi(bounds96.bottom, dpi), parent,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                     nullptr);
    if (control == nullptr) throw std::runtime_error("Cannot create a control of a window");
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

}  // namespace app::win32
