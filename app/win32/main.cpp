// milte-post.exe: drop a file on the icon to send it to a mobile phone; start it alone to set the
// name and the destination.

#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "app/dropped_file_check.h"
#include "app/win32/win32_main_form1.h"  // first of the Win32 headers: it includes <windows.h> last
#include "app/win32/message_box.h"
#include "platform/file_path.h"
#include "platform/process.h"

namespace {

// Argument 1 as the path of the dropped file. The platform gives it in UTF-8 and it is read as
// such: a path made from plain chars would take the system's ANSI code page.
platform::FilePath Argument1() {
    const std::vector<std::string> arguments = platform::ProgramArguments(0, nullptr);  // the wide command line
    if (arguments.size() < 2) return {};
    const std::string& utf8 = arguments[1];
    return platform::FilePath{std::filesystem::path(std::u8string(utf8.begin(), utf8.end()))};
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
