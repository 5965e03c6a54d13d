#pragma once
// What the main window's logic needs of a window face (Qt, Win32): its controls' state, a hint
// above them, the message dialog, the send's progress window and closing. Texts are CP932; each
// face converts at its own boundary.

#include <string>

namespace app {

// What the send's progress window shows, top to bottom.
struct ProgressWindowContents {
    static constexpr int BarRange = 1000;

    std::string fileName;  // CP932
    std::string activity;  // CP932: what the send is doing now
    int barPosition = 0;   // 0 to BarRange
    std::string bytes;     // CP932: the bytes sent of the file's size
    bool operator==(const ProgressWindowContents&) const = default;
};

// The answer to a question with はい, いいえ and キャンセル.
enum class QuestionAnswer { Yes, No, Cancel };

class TMainForm1View {
public:
    virtual ~TMainForm1View() = default;

    // Setting a text raises the field's change event when the text changes.
    virtual std::string Edit1Text() const = 0;
    virtual void SetEdit1Text(const std::string& cp932Text) = 0;
    virtual std::string Edit2Text() const = 0;
    virtual void SetEdit2Text(const std::string& cp932Text) = 0;

    // -1 when nothing is selected; an index outside the list selects nothing.
    virtual int ComboBox1ItemIndex() const = 0;
    virtual void SetComboBox1ItemIndex(int index) = 0;
    virtual std::string ComboBox1Text() const = 0;

    virtual void SetButton1Enabled(bool enabled) = 0;

    // A line of text above the fields, in settings mode: the window grows by the line at its top,
    // the controls keep their places below it. Showing it again changes the text.
    virtual void ShowSettingsHint(const std::string& cp932Text) = 0;

    // The modal message dialog; returns when the user has dismissed it.
    virtual void ShowMessage(const std::string& cp932Text) = 0;
    // A modal question with はい (the default) and いいえ; true for はい.
    virtual bool AskYesNo(const std::string& cp932Text) = 0;

    // The modal question with はい, いいえ and キャンセル; Esc and the close box answer キャンセル.
    virtual QuestionAnswer AskQuestion(const std::string& cp932Text) = 0;

    // The send's progress window: not modal, captioned with the application title. Showing it
    // again updates it. Its キャンセル button, Esc and its close box call
    // TMainForm1::CancelButtonClick; the window stays until HideProgress.
    virtual void ShowProgress(const ProgressWindowContents& contents) = 0;
    virtual void HideProgress() = 0;

    // Asks the window to close, which ends the program.
    virtual void Close() = 0;
    // Takes the window off the screen; the program goes on (a send of what was dropped before
    // the settings were saved).
    virtual void Hide() = 0;

    // The full path of the running program's file.
    virtual std::string ExecutablePath() const = 0;
};

}  // namespace app
