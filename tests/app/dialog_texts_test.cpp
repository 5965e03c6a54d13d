#include "app/dialog_texts.h"

#include <gtest/gtest.h>

#include "platform/cp932.h"

namespace {

TEST(FailureDisplayText, AddsAFullStopAfterACharacterAboveIt) {
    EXPECT_EQ(app::FailureDisplayText("Disk full"), "Disk full.");
    EXPECT_EQ(app::FailureDisplayText(platform::Cp932("'NAME' の設定に失敗しました")),
              platform::Cp932("'NAME' の設定に失敗しました."));
    EXPECT_EQ(app::FailureDisplayText("\xB1"), "\xB1.");  // half-width katakana
    EXPECT_EQ(app::FailureDisplayText("Done."), "Done.");
    EXPECT_EQ(app::FailureDisplayText("Wait-"), "Wait-");  // "-" sorts before "."
    EXPECT_EQ(app::FailureDisplayText(""), "");
}

TEST(MessageDialogCopyText, FramesCaptionTextAndButtonsWithDividers) {
    EXPECT_EQ(app::MessageDialogCopyText("Title", "one\ntwo", {"OK"}),
              "---------------------------\r\nTitle\r\n---------------------------\r\none\ntwo\r\n"
              "---------------------------\r\nOK   \r\n---------------------------\r\n");
}

}  // namespace
