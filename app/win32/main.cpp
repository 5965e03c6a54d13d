// milte-post.exe: drop a file on the icon to send it to a mobile phone; start it alone to set the
// name and the destination.

#include <exception>
#include <filesystem>

#include "app/dropped_file_check.h"
#include "app/win32/win32_main_form1.h"  // first of the Win32 headers: it includes <windows.h> last
#include "app/win32/message_box.h"
#include "platform/file_path.h"

#include <shellapi.h>

namespace {

// Argument 1 as the shell passed it; empty when there is none.
platform::FilePath Argument1() {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    platform::FilePath argument1{(arguments != nullptr && count > 1) ? std::filesystem::path(arguments[1])
                                                                     : std::filesystem::path()};
    ::LocalFree(arguments);
    return argument1;
}

void RunMessageLoop(app::win32::Win32MainForm1& form) {
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (form.TranslateDialogKey(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        app::win32::Win32MainForm1 MainForm1(app::DroppedFileFromPath(Argument1()));
        MainForm1.Show();
        RunMessageLoop(MainForm1);
    } catch (const std::exception& failure) {
        app::win32::ShowFailureDisplay(failure.what(), nullptr);
    } catch (...) {
        app::win32::ShowFailureDisplay("", nullptr);
    }
    return 0;
}
