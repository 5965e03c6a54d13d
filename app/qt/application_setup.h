#pragma once
// What every Qt run of the program sets up before its window: the title, the fonts and the icon.

namespace app::qt {

// Call after the QApplication exists.
void SetUpApplication();

}  // namespace app::qt
