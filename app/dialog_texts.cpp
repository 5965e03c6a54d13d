#include "app/dialog_texts.h"

#include "platform/cp932.h"

namespace app {

std::string ApplicationTitle() { return platform::Cp932("ミルテ・ポスト"); }

std::string FailureDisplayText(const std::string& cp932Message) {
    // A final double-byte character ends in a trail byte of 0x40 or more, so comparing the last
    // byte decides for double-byte characters too.
    if (!cp932Message.empty() && static_cast<unsigned char>(cp932Message.back()) > '.') return cp932Message + '.';
    return cp932Message;
}

std::string MessageDialogCopyText(const std::string& caption, const std::string& text,
                                  const std::vector<std::string>& buttonCaptions) {
    const std::string divider = std::string(27, '-') + "\r\n";
    std::string buttons;
    for (const auto& button : buttonCaptions) buttons += button + "   ";
    return divider + caption + "\r\n" + divider + text + "\r\n" + divider + buttons + "\r\n" + divider;
}

}  // namespace app
