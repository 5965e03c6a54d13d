#pragma once
// Texts of the two dialogs every window face shows: the message dialog and the failure display.

#include <string>
#include <vector>

namespace app {

// "ミルテ・ポスト" in CP932: the task bar entry and the caption of every dialog.
std::string ApplicationTitle();

// The failure display's text: a full stop goes after a last character greater than ".".
std::string FailureDisplayText(const std::string& cp932Message);

// What Ctrl+C in the message dialog puts on the clipboard: the caption, the text and the button
// captions between dividers, each line ended by CR LF.
std::string MessageDialogCopyText(const std::string& caption, const std::string& text,
                                  const std::vector<std::string>& buttonCaptions);

}  // namespace app
