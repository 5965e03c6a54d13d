// milte-post.exe: drop files on the icon (or send them to it from Explorer's 送る menu) to send
// them to a mobile phone; start it alone to set the name and the destination.

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

// The arguments after the program's name, as the paths of the dropped files. The platform gives
// them in UTF-8 and they are read as such: a path made from plain chars would take the system's
// ANSI code page.
std::vector<platform::FilePath> DroppedPaths() {
    const std::vector<std::string> arguments = platform::ProgramArguments(0, nullptr);  // the wide command line
    std::vector<platform::FilePath> paths;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& utf8 = arguments[i];
        paths.emplace_back(std::filesystem::path(std::u8string(utf8.begin(), utf8.end())));
    }
    return paths;
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
        app::win32::Win32MainForm1 MainForm1(app::DroppedFilesFromPaths(DroppedPaths()));
        MainForm1.Show();
        RunMessageLoop(MainForm1);
    } catch (const std::exception& failure) {
        app::win32::ShowFailureDisplay(failure.what(), nullptr);
    } catch (...) {
        app::win32::ShowFailureDisplay("", nullptr);
    }
    return 0;
}
