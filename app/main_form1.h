#pragma once
// TMainForm1: the main window's logic, apart from any toolkit. A window face owns it, forwards
// its controls' events to the handlers and shows what the logic asks through TMainForm1View.
//
// Started without a file, the window is the settings window; started with one (a file dropped
// on the program's icon), FormShow checks the file and closes the window again.

#include <string>

#include "app/dropped_file_check.h"
#include "app/main_form_view.h"

namespace app {

// The settings' key under the current user's hive.
inline constexpr const char SettingsKey[] = "\\Software\\Varrowen\\iZDQ";

class TMainForm1 {
public:
    // Selects the carrier domain, as the window is created.
    TMainForm1(TMainForm1View& view, DroppedFile argument1);

    // Handlers, named as the toolkit names them. SpeedButton1Click, SpeedButton2Click and
    // SpeedButton3Click (information links) and NMFTP1Success (the send) join these.
    void FormShow();
    void Edit1Change();  // change of Edit1 or Edit2
    void Button1Click();  // lets a refused save escape to the failure display

    void LoadSettings();  // silent on every failure
    void SaveSettings();  // throws platform::ERegistryException naming the refused value

private:
    void BeepAndShowMessage(const std::string& cp932Text);

    // The network components NMFTP1 (upload) and NMHTTP1 (notification) become members here,
    // created with the window.
    TMainForm1View& view_;
    DroppedFile argument1_;
};

}  // namespace app
