#include "app/main_form1.h"

#include <exception>
#include <utility>

#include "platform/cp932.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace app {

TMainForm1::TMainForm1(TMainForm1View& view, DroppedFile argument1) : view_(view), argument1_(std::move(argument1)) {
    view_.SetComboBox1ItemIndex(0);
}

void TMainForm1::FormShow() {
    LoadSettings();
    if (argument1_.cp932Path.empty()) return;  // settings mode: the window stays
    auto refuse = [this](const std::string& text) { BeepAndShowMessage(text); };
    if (CheckDroppedFile(argument1_, view_.Edit2Text(), refuse) == DropCheck::Accepted) {
        // SendDroppedFile (FTP upload, then the notification request) runs here.
    }
    view_.Close();
}

void TMainForm1::Edit1Change() { view_.SetButton1Enabled(!view_.Edit1Text().empty() && !view_.Edit2Text().empty()); }

void TMainForm1::Button1Click() {
    SaveSettings();
    BeepAndShowMessage(platform::Cp932(
        "設定を記憶しました。\n\n次回からアイコン(EXE)にファイルをドラッグ＆ドロップするだけで携帯電話に自動送信されます。\n"
        "設定をやり直す場合はファイルをドラッグ＆ドロップせずに アイコン(EXE)を単体で起動させてください。"));
    view_.Close();
}

void TMainForm1::LoadSettings() {
    platform::TRegistry registry;
    // A failure stops the load where it happens: the later controls keep what they had.
    try {
        registry.OpenKey(SettingsKey, true);
        view_.SetEdit1Text(registry.ReadString("NAME"));
        view_.SetEdit2Text(registry.ReadString("MAIL1"));
        view_.SetComboBox1ItemIndex(registry.ReadInteger("MAIL2"));
    } catch (const std::exception&) {
    }
    registry.CloseKey();
}

void TMainForm1::SaveSettings() {
    platform::TRegistry registry;
    registry.OpenKey(SettingsKey, true);  // a key that did not open refuses the first write
    registry.WriteString("NAME", view_.Edit1Text());
    registry.WriteString("MAIL1", view_.Edit2Text());
    registry.WriteInteger("MAIL2", view_.ComboBox1ItemIndex());
    registry.CloseKey();
}

void TMainForm1::BeepAndShowMessage(const std::string& cp932Text) {
    platform::MessageBeep();
    view_.ShowMessage(cp932Text);
}

}  // namespace app
