#include "app/win32/painted_controls.h"

#include <algorithm>

namespace app::win32 {
namespace {

LRESULT CALLBACK ShapeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        RECT client;
        ::GetClientRect(window, &client);
        HPEN pen = ::CreatePen(PS_SOLID, 1, Grey);
        HGDIOBJ oldPen = ::SelectObject(dc, pen);
        HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(WHITE_BRUSH));
        // Corners as the classic round-rectangle shape draws them: a quarter of the shorter side.
        const int corner = std::min(client.right, client.bottom) / 4;
        ::RoundRect(dc, 0, 0, client.right, client.bottom, corner, corner);
        ::SelectObject(dc, oldBrush);
        ::SelectObject(dc, oldPen);
        ::DeleteObject(pen);
        ::EndPaint(window, &paint);
        return 0;
    }
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

// The button's font, as WM_SETFONT gave it.
constexpr wchar_t FontProperty[] = L"MiltePostFont";

// Per-button state in the window's user data: under the mouse, and held down there.
constexpr LONG_PTR Hot = 1;
constexpr LONG_PTR Pressed = 2;

LONG_PTR State(HWND window) { return ::GetWindowLongPtrW(window, GWLP_USERDATA); }

void SetState(HWND window, LONG_PTR state) {
    if (state == State(window)) return;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, state);
    ::InvalidateRect(window, nullptr, FALSE);
}

void Click(HWND window) {
    ::SendMessageW(::GetParent(window), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(window), BN_CLICKED),
                   reinterpret_cast<LPARAM>(window));
}

// Enter and Space press the button, as they do a push button; Enter is the button's, not the
// window's default button's.
bool IsPressKey(WPARAM key) { return key == VK_RETURN || key == VK_SPACE; }

bool ContainsCursor(HWND window, LPARAM lParam) {
    RECT client;
    ::GetClientRect(window, &client);
    const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return ::PtInRect(&client, point) != FALSE;
}

void PaintLinkButton(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    RECT client;
    ::GetClientRect(window, &client);
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    const LONG_PTR state = State(window);
    if (state & Pressed) ::DrawEdge(dc, &client, BDR_SUNKENOUTER, BF_RECT);
    else if (state & Hot) ::DrawEdge(dc, &client, BDR_RAISEDINNER, BF_RECT);

    wchar_t text[64] = {};
    ::GetWindowTextW(window, text, 64);
    HGDIOBJ oldFont = ::SelectObject(dc, reinterpret_cast<HFONT>(::GetPropW(window, FontProperty)));
    ::SetTextColor(dc, Grey);
    ::SetBkMode(dc, TRANSPARENT);
    if (::GetFocus() == window) {
        RECT focus = client;
        ::InflateRect(&focus, -1, -1);
        ::DrawFocusRect(dc, &focus);
    }
    if (state & Pressed) ::OffsetRect(&client, 1, 1);
    ::DrawTextW(dc, text, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, oldFont);
    ::EndPaint(window, &paint);
}

LRESULT CALLBACK LinkButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETFONT:
        ::SetPropW(window, FontProperty, reinterpret_cast<HANDLE>(wParam));
        if (LOWORD(lParam)) ::InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(::GetPropW(window, FontProperty));
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_MOUSEMOVE: {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, 0};
        ::TrackMouseEvent(&track);
        // Held down (captured) and inside: pressed; the press comes back when the mouse does.
        const bool inside = ContainsCursor(window, lParam);
        SetState(window, inside ? (Hot | (::GetCapture() == window ? Pressed : 0)) : 0);
        return 0;
    }
    case WM_MOUSELEAVE:
        if (::GetCapture() != window) SetState(window, 0);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        ::SetCapture(window);
        SetState(window, Hot | Pressed);
        return 0;
    case WM_LBUTTONUP: {
        const bool wasHeld = ::GetCapture() == window;
        ::ReleaseCapture();
        const bool inside = ContainsCursor(window, lParam);
        SetState(window, inside ? Hot : 0);
        if (wasHeld && inside) Click(window);
        return 0;
    }
    case WM_GETDLGCODE: {
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) return DLGC_WANTMESSAGE;
        return DLGC_BUTTON;
    }
    case WM_KEYDOWN:
        if (IsPressKey(wParam) && (lParam & (1 << 30)) == 0) Click(window);  // not again while the key repeats
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        ::InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_CAPTURECHANGED:
        SetState(window, State(window) & Hot);
        return 0;
    case WM_PAINT:
        PaintLinkButton(window);
        return 0;
    case WM_DESTROY:
        ::RemovePropW(window, FontProperty);
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

void Register(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, LPCWSTR cursor, UINT style) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, cursor);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = name;
    ::RegisterClassExW(&windowClass);
}

}  // namespace

void RegisterPaintedControls(HINSTANCE instance) {
    static const bool registered = [instance] {
        Register(instance, ShapeClass, ShapeProc, IDC_ARROW, CS_HREDRAW | CS_VREDRAW);
        Register(instance, LinkButtonClass, LinkButtonProc, IDC_HAND, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS);
        return true;
    }();
    (void)registered;
}

}  // namespace app::win32
