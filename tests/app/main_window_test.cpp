// The Qt main window in-process: layout, focus, the enable rule, the settings store and the
// dialogs, with the user's answers given to every modal dialog as it opens.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontMetrics>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <ostream>
#include <vector>

#include "app/build_constants.h"
#include "app/message_texts.h"
#include "app/qt/message_dialog.h"
#include "app/qt/qt_main_form1.h"
#include "platform/cp932.h"
#include "platform/registry.h"
#include "tests/app/test_environment.h"
#include "tests/app/window_test.h"

namespace {

using app::qt::MessageDialog;
using app::qt::QtMainForm1;

const std::string Confirmation =
    "message: 設定を記憶しました。\n\n次回からアイコン(EXE)にファイルをドラッグ＆ドロップするだけで携帯電話に自動送信されます。\n"
    "設定をやり直す場合はファイルをドラッグ＆ドロップせずに アイコン(EXE)を単体で起動させてください。";

// What the settings fields show.
struct Fields {
    QString name;
    QString mail;
    int carrierIndex = 0;
    bool canSave = false;
    bool operator==(const Fields&) const = default;
};
void PrintTo(const Fields& fields, std::ostream* out) {
    *out << "{\"" << fields.name.toStdString() << "\", \"" << fields.mail.toStdString() << "\", carrier "
         << fields.carrierIndex << (fields.canSave ? ", can save}" : ", cannot save}");
}

class MainWindow : public WindowTest {
protected:
    std::unique_ptr<QtMainForm1> Open(app::DroppedFiles files = {}) {
        auto window = std::make_unique<QtMainForm1>(std::move(files));
        closed_ = std::make_unique<QSignalSpy>(window.get(), &QtMainForm1::Closed);
        window->show();
        return window;
    }

    template <typename Control>
    static Control* Find(QWidget* window, const char* name) {
        auto* control = window->findChild<Control*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    static Fields FieldsOf(QWidget* window) {
        return {Find<QLineEdit>(window, "Edit1")->text(), Find<QLineEdit>(window, "Edit2")->text(),
                Find<QComboBox>(window, "ComboBox1")->currentIndex(), Find<QPushButton>(window, "Button1")->isEnabled()};
    }

    static void ClickSave(QWidget* window) { QTest::mouseClick(Find<QPushButton>(window, "Button1"), Qt::LeftButton); }

    // The window has gone: Closed came once and the window is hidden.
    ::testing::AssertionResult HasClosed(const QWidget& window) const {
        if (closed_->count() == 1 && !window.isVisible()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "Closed came " << closed_->count() << " times; the window is "
                                             << (window.isVisible() ? "visible" : "hidden");
    }

    static void StoreSettings(const std::string& name, std::uint32_t nameType, const std::string& mail1, int mail2) {
        platform::RegistryKey key(SettingsKey);
        key.SetValue("NAME", {nameType, name});
        key.SetValue("MAIL1", {platform::REG_SZ, mail1 + '\0'});
        platform::TRegistry registry;
        registry.OpenKey(SettingsKey, false);
        registry.WriteInteger("MAIL2", mail2);
    }

    std::unique_ptr<QSignalSpy> closed_;
};

struct ControlRow {
    const char* name;
    QRect geometry;
    QString text;
    int pixelSize;
    bool bold;
    bool underline;
    bool grey;
};

TEST_F(MainWindow, EveryControlHasItsPlaceFontAndText) {
    auto window = Open();
    const QString description = QStringLiteral(
        "「ミルテ」は、携帯電話向け無料ファイル転送サービスです。このソフトウェアから送信されたファイルは、"
        "リンク付きメールとして送信先に届きます。リンクされたファイルは専用の携帯アプリにより、快適に閲覧することができます。");
    const std::vector<ControlRow> table = {
        {"Label5", {16, 254, 290, 60}, description, 12, false, false, true},
        {"Label1", {24, 12, 110, 16}, QStringLiteral(" あなたの名前 "), 16, true, false, true},
        {"Label2", {24, 92, 115, 16}, QStringLiteral(" 送信先（携帯） "), 16, true, false, true},
        {"Label3", {132, 124, 17, 16}, QStringLiteral("＠"), 16, true, false, true},
        {"SpeedButton1", {288, 2, 28, 24}, QStringLiteral("info."), 12, false, true, true},
        {"SpeedButton2", {194, 316, 120, 24}, QStringLiteral("サービスの詳細(WEB)"), 12, false, true, true},
        {"SpeedButton3", {4, 316, 120, 24}, QStringLiteral("対応ファイル形式"), 12, false, true, true},
        {"ComboBox1", {154, 120, 140, 24}, QString::fromLatin1(app::CarrierDomains[0]), 16, false, false, false},
        {"Edit1", {30, 40, 184, 24}, QString(), 16, false, false, false},
        {"Edit2", {30, 120, 100, 24}, QString(), 16, false, false, false},
        {"Button1", {98, 172, 120, 25}, QStringLiteral("設定保存"), 16, false, false, false},
        {"Button2", {69, 204, 180, 25}, QStringLiteral("ファイルを選んで送信..."), 16, false, false, false},
        {"HowTo", {16, 234, 290, 16}, QStringLiteral("ここかアイコンへのドロップでも送信できます。"), 12, false, false, true},
    };
    const QColor grey(0x80, 0x80, 0x80);
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        QWidget* control = Find<QWidget>(window.get(), row.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), row.geometry);
        EXPECT_EQ(control->font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
        EXPECT_EQ(QFontInfo(control->font()).family(), QStringLiteral("IPAPGothic"));
        EXPECT_EQ(control->font().pixelSize(), row.pixelSize);
        EXPECT_EQ(control->font().bold(), row.bold);
        EXPECT_EQ(control->font().underline(), row.underline);
        QString text;
        if (auto* label = qobject_cast<QLabel*>(control)) text = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(control)) text = button->text();
        else if (auto* edit = qobject_cast<QLineEdit*>(control)) text = edit->text();
        else if (auto* combo = qobject_cast<QComboBox*>(control)) text = combo->currentText();
        EXPECT_EQ(text, row.text);
        if (row.grey) {
            EXPECT_EQ(control->palette().color(control->foregroundRole()), grey);
        }
    }
    EXPECT_EQ(Find<QWidget>(window.get(), "Shape1")->geometry(), QRect(12, 20, 220, 60));
    EXPECT_EQ(Find<QWidget>(window.get(), "Shape2")->geometry(), QRect(12, 96, 294, 60));
    EXPECT_TRUE(Find<QLabel>(window.get(), "Label5")->wordWrap());
    EXPECT_TRUE(Find<QLabel>(window.get(), "Label1")->autoFillBackground());  // covers the frame line

    // Titles lie above their frames; the fields, the list and the button above everything drawn.
    const auto stack = window->children();
    EXPECT_GT(stack.indexOf(Find<QWidget>(window.get(), "Label1")), stack.indexOf(Find<QWidget>(window.get(), "Shape1")));
    EXPECT_GT(stack.indexOf(Find<QWidget>(window.get(), "Edit2")), stack.indexOf(Find<QWidget>(window.get(), "Shape2")));

    auto* combo = Find<QComboBox>(window.get(), "ComboBox1");
    EXPECT_FALSE(combo->isEditable());
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    QStringList carriers;
    for (const char* domain : app::CarrierDomains) carriers << QString::fromLatin1(domain);
    EXPECT_EQ(items, carriers);
    EXPECT_EQ(combo->maxVisibleItems(), 20);
    EXPECT_FALSE(Find<QLineEdit>(window.get(), "Edit2")->testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_FALSE(Find<QPushButton>(window.get(), "Button1")->isEnabled());

    EXPECT_EQ(window->windowTitle(), QStringLiteral("ミルテ・ポスト"));
    EXPECT_EQ(window->size(), QSize(318, 344));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->windowType(), Qt::Tool);
    EXPECT_FALSE(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window->acceptDrops());
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(log_.empty());
}

TEST_F(MainWindow, TabVisitsTheFieldsTheListTheEnabledSaveButtonTheChooserAndTheLinks) {
    auto window = Open();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto focusAfterTabs = [&](int count) {
        std::vector<std::string> visited;
        for (int i = 0; i < count; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.push_back(QApplication::focusWidget()->objectName().toStdString());
        }
        return visited;
    };
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "Edit1");
    EXPECT_EQ(focusAfterTabs(7), (std::vector<std::string>{"Edit2", "ComboBox1", "Button2", "SpeedButton3",
                                                           "SpeedButton2", "SpeedButton1", "Edit1"}));

    QTest::keyClicks(Find<QLineEdit>(window.get(), "Edit1"), "a");
    QTest::keyClicks(Find<QLineEdit>(window.get(), "Edit2"), "b");
    Find<QLineEdit>(window.get(), "Edit1")->setFocus();
    EXPECT_EQ(focusAfterTabs(3), (std::vector<std::string>{"Edit2", "ComboBox1", "Button1"}));
}

TEST_F(MainWindow, TheSaveButtonFollowsBothFieldsAsTheyAreTyped) {
    auto window = Open();
    auto* edit1 = Find<QLineEdit>(window.get(), "Edit1");
    auto* edit2 = Find<QLineEdit>(window.get(), "Edit2");
    auto* button1 = Find<QPushButton>(window.get(), "Button1");
    QTest::keyClicks(edit1, "Taro");
    EXPECT_FALSE(button1->isEnabled());
    QTest::keyClicks(edit2, "t");
    EXPECT_TRUE(button1->isEnabled());
    QTest::keyClick(edit2, Qt::Key_Backspace);
    EXPECT_FALSE(button1->isEnabled());
    QTest::keyClick(edit2, Qt::Key_Space);  // one space is a text
    EXPECT_TRUE(button1->isEnabled());
    edit1->selectAll();
    QTest::keyClick(edit1, Qt::Key_Delete);
    EXPECT_FALSE(button1->isEnabled());
}

TEST_F(MainWindow, FirstRunShowsEmptyFieldsAndCreatesTheKey) {
    auto window = Open();
    EXPECT_EQ(FieldsOf(window.get()), (Fields{"", "", 0, false}));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(std::filesystem::is_directory(home_.SettingsFolder()));
    EXPECT_FALSE(std::filesystem::exists(home_.SettingsFolder() / ".values"));
    EXPECT_TRUE(log_.empty());
}

TEST_F(MainWindow, ANameOfTheWrongTypeStopsTheLoadSilently) {
    StoreSettings(std::string("\x07\0\0\0", 4), platform::REG_DWORD, "mail", 0);
    auto window = Open();
    EXPECT_EQ(FieldsOf(window.get()), (Fields{"", "", 0, false}));
    EXPECT_TRUE(log_.empty());
}

// A stored carrier this build's list lacks selects none; saving without a carrier is refused.
TEST_F(MainWindow, AnIndexOutsideTheListSelectsNothingAndCannotBeSaved) {
    for (int stored : {static_cast<int>(std::size(app::CarrierDomains)), 99, -1}) {
        SCOPED_TRACE(stored);
        log_.clear();
        StoreSettings(std::string("Taro\0", 5), platform::REG_SZ, "taro", stored);
        auto window = Open();
        auto* combo = Find<QComboBox>(window.get(), "ComboBox1");
        EXPECT_EQ(combo->currentIndex(), -1);
        EXPECT_EQ(combo->currentText(), "");
        ASSERT_TRUE(Find<QPushButton>(window.get(), "Button1")->isEnabled());
        ClickSave(window.get());
        EXPECT_EQ(log_, (Log{"beep", "message: " + platform::Cp932ToUtf8(app::CarrierMissingMessage())}));
        EXPECT_TRUE(window->isVisible());
        platform::TRegistry registry;
        registry.OpenKey(SettingsKey, false);
        EXPECT_EQ(registry.ReadInteger("MAIL2"), stored);  // as it was
    }
}

TEST_F(MainWindow, AJapaneseNameAndTheSecondCarrierAreStoredAndComeBackWithTheCaretAtTheEnd) {
    {
        auto window = Open();
        Find<QLineEdit>(window.get(), "Edit1")->setText(QStringLiteral("山田 表示～"));
        QTest::keyClicks(Find<QLineEdit>(window.get(), "Edit2"), "yamada.t");
        QTest::keyClick(Find<QComboBox>(window.get(), "ComboBox1"), Qt::Key_Down);
        ClickSave(window.get());
        EXPECT_EQ(closed_->count(), 1);
    }
    platform::RegistryKey key(SettingsKey);
    EXPECT_EQ(key.QueryValue("NAME")->data, platform::Cp932("山田 表示～") + '\0');
    EXPECT_EQ(key.QueryValue("MAIL2")->data, std::string("\x01\0\0\0", 4));

    auto window = Open();
    EXPECT_EQ(FieldsOf(window.get()), (Fields{QStringLiteral("山田 表示～"), "yamada.t", 1, true}));
    for (const char* field : {"Edit1", "Edit2"}) {
        auto* edit = Find<QLineEdit>(window.get(), field);
        EXPECT_EQ(edit->cursorPosition(), edit->text().size()) << field;
        EXPECT_FALSE(edit->hasSelectedText()) << field;
    }
}

TEST_F(MainWindow, SavingTrimsTheAddressAndSplitsAWholeOneAtItsCarrier) {
    const std::string domain = app::CarrierDomains[std::size(app::CarrierDomains) - 1];
    auto window = Open();
    QTest::keyClicks(Find<QLineEdit>(window.get(), "Edit1"), "Ichiro");
    QTest::keyClicks(Find<QLineEdit>(window.get(), "Edit2"), QString::fromStdString("  ichiro@" + domain + " "));
    ClickSave(window.get());
    EXPECT_EQ(log_, (Log{"beep", Confirmation}));
    EXPECT_TRUE(HasClosed(*window));
    platform::TRegistry registry;
    registry.OpenKey(SettingsKey, false);
    EXPECT_EQ(registry.ReadString("MAIL1"), "ichiro");
    EXPECT_EQ(registry.ReadInteger("MAIL2"), static_cast<int>(std::size(app::CarrierDomains)) - 1);
}

TEST_F(MainWindow, AnAddressThatIsNoLocalPartIsRefusedAndNothingIsStored) {
    auto window = Open();
    QTest::keyClicks(Find<QLineEdit>(window.get(), "Edit1"), "Taro");
    QTest::keyClicks(Find<QLineEdit>(window.get(), "Edit2"), "a@b@c");
    ClickSave(window.get());
    EXPECT_EQ(log_, (Log{"beep", "message: " + platform::Cp932ToUtf8(app::DestinationRefusedMessage())}));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(closed_->count(), 0);
    EXPECT_EQ(FieldsOf(window.get()), (Fields{"Taro", "a@b@c", 0, true}));  // as typed, to be put right
    EXPECT_FALSE(std::filesystem::exists(home_.SettingsFolder() / ".values"));
}

// A screen reader has a name for every control that takes input or a click.
TEST_F(MainWindow, EveryControlHasAnAccessibleName) {
    auto window = Open();
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!qobject_cast<QLineEdit*>(control) && !qobject_cast<QComboBox*>(control) &&
            !qobject_cast<QAbstractButton*>(control))
            continue;
        if (control->window() != window.get()) continue;  // the progress window's own
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(accessible, nullptr) << control->objectName().toStdString();
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty()) << control->objectName().toStdString();
    }
}

TEST_F(MainWindow, EnterInAFieldSavesOnlyWhileTheSaveButtonIsEnabled) {
    auto window = Open();
    EXPECT_TRUE(Find<QPushButton>(window.get(), "Button1")->isDefault());
    auto* edit2 = Find<QLineEdit>(window.get(), "Edit2");
    QTest::keyClicks(edit2, "taro");
    QTest::keyClick(edit2, Qt::Key_Return);  // no name yet: the button is disabled
    EXPECT_TRUE(log_.empty());
    EXPECT_EQ(closed_->count(), 0);

    QTest::keyClicks(Find<QLineEdit>(window.get(), "Edit1"), "Taro");
    QTest::keyClick(edit2, Qt::Key_Return);
    EXPECT_EQ(log_, (Log{"beep", Confirmation}));
    EXPECT_TRUE(HasClosed(*window));
}

TEST_F(MainWindow, TheSettingsHintGrowsTheWindowByItsLineAboveEverythingElse) {
    auto window = std::make_unique<QtMainForm1>(app::DroppedFiles{});  // shown while FormShow runs, before the screen
    const QRect edit1 = Find<QWidget>(window.get(), "Edit1")->geometry();
    const QRect link = Find<QWidget>(window.get(), "SpeedButton3")->geometry();
    window->ShowSettingsHint(app::SettingsFirstHint());
    window->ShowSettingsHint(app::SettingsFirstHint());  // a second time changes nothing more
    auto* hint = Find<QLabel>(window.get(), "Hint");
    EXPECT_FALSE(hint->isHidden());
    EXPECT_EQ(hint->text().toStdString(), platform::Cp932ToUtf8(app::SettingsFirstHint()));
    EXPECT_EQ(hint->geometry(), QRect(12, 6, 294, 16));
    EXPECT_LE(QFontMetrics(hint->font()).horizontalAdvance(hint->text()), hint->width());  // one line, all of it
    EXPECT_EQ(window->size(), QSize(318, 344 + 24));
    EXPECT_EQ(Find<QWidget>(window.get(), "Edit1")->geometry(), edit1.translated(0, 24));
    EXPECT_EQ(Find<QWidget>(window.get(), "SpeedButton3")->geometry(), link.translated(0, 24));
}

TEST_F(MainWindow, TheFieldsTakeNoCharacterThatCp932CannotWrite) {
    auto window = Open();
    auto* edit1 = Find<QLineEdit>(window.get(), "Edit1");
    QTest::keyClicks(edit1, "ab");
    edit1->insert(QString::fromUtf8("\xF0\x9F\x98\x80"));  // an emoji, as an input method would commit it
    EXPECT_EQ(edit1->text(), "ab");
}

TEST_F(MainWindow, ARefusedSaveShowsTheFailureAndKeepsTheWindow) {
    home_.BlockTheSettingsKey();
    auto window = Open();
    QTest::keyClicks(Find<QLineEdit>(window.get(), "Edit1"), "Taro");
    QTest::keyClicks(Find<QLineEdit>(window.get(), "Edit2"), "taro");
    ClickSave(window.get());
    EXPECT_EQ(log_, (Log{"failure: ミルテ・ポスト | 'NAME' の設定に失敗しました."}));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(closed_->count(), 0);
}

TEST_F(MainWindow, TheMessageDialogCopiesItselfAndAnswersEnterAndEsc) {
    QString copied;
    bool visibleAfterEsc = true;
    answerer_.reply = [&](MessageDialog* dialog) {
        QApplication::clipboard()->clear();
        QTest::keyClick(dialog, Qt::Key_C, Qt::ControlModifier);
        copied = QApplication::clipboard()->text();
        QTest::keyClick(dialog, Qt::Key_Escape);
        visibleAfterEsc = dialog->isVisible();
    };
    app::qt::ShowMessageDialog(platform::Cp932("一行目\n二行目"), nullptr);
    EXPECT_EQ(copied.toStdString(),
              "---------------------------\r\nミルテ・ポスト\r\n---------------------------\r\n一行目\n二行目\r\n"
              "---------------------------\r\nOK   \r\n---------------------------\r\n");
    EXPECT_FALSE(visibleAfterEsc);
    EXPECT_EQ(log_, (Log{"message: 一行目\n二行目", "beep"}));

    bool visibleAfterEnter = true;
    answerer_.reply = [&](MessageDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("ミルテ・ポスト"));
        EXPECT_TRUE(dialog->OkButton()->isDefault());
        QTest::keyClick(dialog, Qt::Key_Return);
        visibleAfterEnter = dialog->isVisible();
    };
    app::qt::ShowMessageDialog("text", nullptr);
    EXPECT_FALSE(visibleAfterEnter);
}

class SendModeWindow : public MainWindow {
protected:
    app::DroppedFile MakeFile(const std::string& name) { return app::DroppedFileFromPath(platform::FilePath(files_.Write(name, "data"))); }
    testsupport::TempDir files_;
};

TEST_F(SendModeWindow, ARefusedFileShowsItsMessageAndTheWindowNeverAppears) {
    StoreSettings(std::string("Taro\0", 5), platform::REG_SZ, "taro", 0);
    auto window = Open({MakeFile("photo.Jpg")});
    EXPECT_EQ(log_, (Log{"beep", "message: .Jpg形式のファイルは非対応です。"}));
    EXPECT_TRUE(HasClosed(*window));
}

TEST_F(SendModeWindow, WithoutADestinationTheSettingsComeFirstAndClosingSendsNothing) {
    auto window = Open({MakeFile("photo.jpg")});
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(Find<QLabel>(window.get(), "Hint")->isHidden());
    EXPECT_EQ(closed_->count(), 0);
    window->close();  // the close box
    EXPECT_TRUE(log_.empty());
    EXPECT_EQ(closed_->count(), 1);
}

}  // namespace
