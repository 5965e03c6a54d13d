#include "app/win32/form_window.h"

#include <stdexcept>
#include <string>

#include "app/dialog_texts.h"
#include "platform/win32/wide_text.h"

namespace app::win32 {

namespace {

constexpr DWORD FrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// A tool window's small caption with only a close box; the application window flag keeps the
// program's entry in the task bar.
constexpr DWORD FrameExStyle = WS_EX_TOOLWINDOW | WS_EX_APPWINDOW;

void RegisterFormClass(const wchar_t* windowClass, WNDPROC procedure, HINSTANCE instance) {
    WNDCLASSEXW formClass{};
    formClass.cbSize = sizeof formClass;
    formClass.lpfnWndProc = procedure;
    formClass.hInstance = instance;
    formClass.hIcon = ::LoadIconW(instance, L"MAINICON");
    formClass.hIconSm = static_cast<HICON>(::LoadImageW(instance, L"MAINICON", IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                        ::GetSystemMetrics(SM_CYSMICON), 0));
    formClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    formClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    formClass.lpszClassName = windowClass;
    ::RegisterClassExW(&formClass);  // fails harmlessly when a second form registers it again
}

}  // namespace

HWND CreateFormWindow(const wchar_t* windowClass, WNDPROC procedure, SIZE client96, int dpi, HWND owner, void* form,
                      const char* what) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    RegisterFormClass(windowClass, procedure, instance);
    RECT frame{0, 0, ScaledToDpi(client96.cx, dpi), ScaledToDpi(client96.cy, dpi)};
    ::AdjustWindowRectEx(&frame, FrameStyle, FALSE, FrameExStyle);
    const std::wstring title = platform::win32::WideFromCp932(ApplicationTitle());
    HWND window = ::CreateWindowExW(FrameExStyle, windowClass, title.c_str(), FrameStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                    frame.right - frame.left, frame.bottom - frame.top, owner, nullptr, instance, form);
    if (window == nullptr) throw std::runtime_error(what);
    return window;
}

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
