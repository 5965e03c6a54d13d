#pragma once
// The window's two painted kinds of control, as child windows of their own classes: the rounded
// frame and the flat link button.

#include <windows.h>

namespace app::win32 {

inline constexpr COLORREF Grey = RGB(0x80, 0x80, 0x80);
inline constexpr COLORREF White = RGB(0xFF, 0xFF, 0xFF);

// Registers both classes once per process.
void RegisterPaintedControls(HINSTANCE instance);

// A rounded-rectangle outline in grey, filled white; the mouse passes through it.
inline constexpr wchar_t ShapeClass[] = L"MiltePostShape";

// Underlined grey text that sends BN_CLICKED to its parent when clicked, or pressed with Enter or
// Space while it has the focus. A click leaves the focus where it was; Tab reaches it where it has
// WS_TABSTOP, and a dotted frame marks it then. The cursor over it is the hand; a raised edge
// marks it under the mouse. Its text is its window text, which screen readers read. The font comes
// with WM_SETFONT.
inline constexpr wchar_t LinkButtonClass[] = L"MiltePostLinkButton";

}  // namespace app::win32
