#include "app/main_form1.h"

#include <exception>
#include <utility>

#include "app/build_constants.h"
#include "app/destination_check.h"
#include "app/dropped_file_check.h"
#include "app/file_name_parts.h"
#include "app/message_texts.h"
#include "app/send_server.h"
#include "app/service_urls.h"
#include "platform/cp932.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace app {

TMainForm1::TMainForm1(TMainForm1View& view, DroppedFile argument1)
    : view_(view),
      argument1_(std::move(argument1)),
      watchdog_(SendStallLimit, [this] { StopWorkingComponents(); }),
      notifyDeadline_(NotifyTimeLimit, [this] { StopWorkingComponents(); }),
      progress_(view) {
    CreateComponents();
    view_.SetComboBox1ItemIndex(0);
}

TMainForm1::~TMainForm1() = default;

// The components as the window's layout sets them up; the send sets the server itself.
void TMainForm1::CreateComponents() {
    NMFTP1 = std::make_unique<nmftp::TNMFTP>();
    NMFTP1->Port = 21;
    NMFTP1->ReportLevel = 0;
    NMFTP1->OnSuccess = [this](nmftp::TCmdType Trans_Type) {
        watchdog_.Feed();
        NMFTP1Success(Trans_Type);
    };
    NMFTP1->Passive = false;
    NMFTP1->FirewallType = nmftp::FTUser;
    NMFTP1->FWAuthenticate = false;
    NMFTP1->ProxyPort = 0;
    NMFTP1->ParseList = false;

    NMHTTP1 = std::make_unique<nmhttp::TNMHTTP>();
    NMHTTP1->Port = 0;
    NMHTTP1->ReportLevel = 0;
    NMHTTP1->Body = "Default.htm";
    NMHTTP1->Header = "Head.txt";
    NMHTTP1->InputFileMode = false;
    NMHTTP1->OutputFileMode = false;
    NMHTTP1->ProxyPort = 0;
    NMHTTP1->MaxBodyLength = NotifyResponseLimit;
    WatchForProgress();
}

// Every sign that a component is getting on restarts the watchdog's count; the upload's own
// events (the transfer's start, each piece of the file handed to the data connection) also move
// the progress window on.
void TMainForm1::WatchForProgress() {
    const auto progress = [this](platform::TObject*) { watchdog_.Feed(); };
    for (psock::TPowersock* component : {static_cast<psock::TPowersock*>(NMFTP1.get()),
                                         static_cast<psock::TPowersock*>(NMHTTP1.get())}) {
        component->OnHostResolved = progress;
        component->OnConnect = progress;  // the connection, before any log-in
        component->OnPacketSent = progress;
        component->OnPacketRecvd = progress;
    }
    NMFTP1->OnConnect = progress;  // logged in
    NMFTP1->OnTransactionStop = progress;
    NMHTTP1->OnAboutToSend = progress;
    NMFTP1->OnTransactionStart = [this](platform::TObject*) {
        watchdog_.Feed();
        progress_.SetStep(SendStep::Uploading);
    };
    NMFTP1->OnPacketSent = [this](platform::TObject*) {
        watchdog_.Feed();
        if (NMFTP1->DataSocket) progress_.SetBytesSent(NMFTP1->DataSocket->BytesSent);
    };
}

void TMainForm1::FormShow() {
    LoadSettings();
    if (argument1_.path.Empty()) return;  // settings mode: the window stays
    auto refuse = [this](const std::string& text) { BeepAndShowMessage(text); };
    if (CheckDroppedFile(argument1_, view_.Edit2Text(), refuse) == DropCheck::Accepted) SendDroppedFile();
    view_.Close();
}

void TMainForm1::Edit1Change() { view_.SetButton1Enabled(!view_.Edit1Text().empty() && !view_.Edit2Text().empty()); }

void TMainForm1::Button1Click() {
    if (!TakeDestination()) return;  // refused with a message: nothing is stored, the window stays
    SaveSettings();
    BeepAndShowMessage(platform::Cp932(
        "設定を記憶しました。\n\n次回からアイコン(EXE)にファイルをドラッグ＆ドロップするだけで携帯電話に自動送信されます。\n"
        "設定をやり直す場合はファイルをドラッグ＆ドロップせずに アイコン(EXE)を単体で起動させてください。"));
    view_.Close();
}

// The local part as typed may have spaces around it or be the whole address: the controls are
// tidied before they are saved. What cannot be a local part is refused.
bool TMainForm1::TakeDestination() {
    const auto destination = CheckDestination(view_.Edit2Text(), CarrierDomains);
    if (!destination) {
        BeepAndShowMessage(DestinationRefusedMessage());
        return false;
    }
    view_.SetEdit2Text(destination->localPart);
    if (destination->carrierIndex) view_.SetComboBox1ItemIndex(*destination->carrierIndex);
    return true;
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

void TMainForm1::SpeedButton1Click() { platform::OpenUrl(InformationUrl(view_.ExecutablePath())); }

void TMainForm1::SpeedButton2Click() { platform::OpenUrl(ServiceSiteUrl()); }

void TMainForm1::SpeedButton3Click() { view_.ShowMessage(FormatsListMessage()); }

void TMainForm1::SendDroppedFile() {
    try {
        UploadAndNotify();
    } catch (const std::exception&) {
        StopWatching();
        if (!cancelled_) BeepAndShowMessage(SendFailedMessage());
    }
    progress_.Hide();
    StopWatching();
}

// Upload, success message, notification. The FTP session is not ended by a command: the
// control connection stays open until the program ends.
void TMainForm1::UploadAndNotify() {
    const SendServer server = SendServerFromEnvironment();
    NMFTP1->Host = server.host;
    NMFTP1->Port = server.ftpPort;
    NMFTP1->UserID = "zdq";
    NMFTP1->Password = "Qm7tR2xw";

    const std::string fileName = ExtractFileName(argument1_.cp932Path);
    progress_.Begin(fileName, FileSize(argument1_.path).value_or(0));
    watchdog_.Start();
    NMFTP1->Connect();
    ThrowIfStalled();
    NMFTP1->Mode(2);
    ThrowIfStalled();
    NMFTP1->ChangeDir("./");
    ThrowIfStalled();
    NMFTP1->Upload(argument1_.path, fileName);  // NMFTP1Success shows the success message in here
    ThrowIfStalled();

    const std::string port = server.httpPort == 80 ? "" : ":" + std::to_string(server.httpPort);
    const std::string url =
        NotifyUrl(server.host + port, fileName, view_.Edit1Text(), view_.Edit2Text(), view_.ComboBox1Text());
    progress_.SetStep(SendStep::Notifying);
    watchdog_.Start();
    notifyDeadline_.Start();
    NMHTTP1->Post(url, "");
    ThrowIfStalled();
    notifyDeadline_.Stop();
    // The client does not treat an error status as a failure, but then the script has not
    // taken the notification and no link will be mailed; no status line at all says as little.
    if (NMHTTP1->ReplyNumber < 100 || NMHTTP1->ReplyNumber >= 400) {
        throw platform::Exception("Notification answered with status " + std::to_string(NMHTTP1->ReplyNumber));
    }
}

void TMainForm1::NMFTP1Success(nmftp::TCmdType Trans_Type) {
    if (Trans_Type != nmftp::cmdUpload || cancelled_) return;
    watchdog_.Stop();  // the user may read the message as long as they like
    const std::string address = view_.Edit2Text() + "@" + view_.ComboBox1Text();
    BeepAndShowMessage(SendSucceededMessage(address, ExtractFileName(argument1_.cp932Path)));
}

// The user stops the send: whatever waits is cancelled at once, as for a stall, and the send
// ends without a message. Nothing more goes to the server.
void TMainForm1::CancelButtonClick() {
    if (!progress_.Visible()) return;  // a click that arrives after the window has gone
    cancelled_ = true;
    progress_.Hide();
    watchdog_.Trip();
}

// The watchdog's verdict: cancel whichever component is waiting, so its operation fails.
void TMainForm1::StopWorkingComponents() {
    if (NMFTP1->DataSocket) NMFTP1->DataSocket->Cancel();
    NMFTP1->Cancel();
    NMHTTP1->Abort();  // ends a host lookup too
}

void TMainForm1::StopWatching() {
    watchdog_.Stop();
    notifyDeadline_.Stop();
}

// A cancel can land just after the operation it was meant for has finished its wait.
void TMainForm1::ThrowIfStalled() const {
    if (cancelled_) throw psock::EAbortError("Send cancelled");
    if (watchdog_.Expired()) throw psock::EAbortError("Send stalled");
    if (notifyDeadline_.Expired()) throw psock::EAbortError("Notification took too long");
}

void TMainForm1::BeepAndShowMessage(const std::string& cp932Text) {
    progress_.Hide();  // a message never shares the screen with the progress window
    platform::MessageBeep();
    view_.ShowMessage(cp932Text);
}

}  // namespace app
