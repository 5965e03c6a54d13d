#include "app/main_form1.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <optional>
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
#include "platform/socket_address.h"

namespace app {
namespace {

std::string SameNameReason() {
    return platform::Cp932("同じ名前のファイルが先にあります。サーバーで上書きされるため、送信しません。");
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) joined += (joined.empty() ? "" : " ") + text;
    return joined;
}

}  // namespace

TMainForm1::TMainForm1(TMainForm1View& view, DroppedFiles files)
    : view_(view),
      files_(std::move(files)),
      watchdog_(SendStallLimit, [this] { StopWorkingComponents(); }),
      notifyDeadline_(NotifyTimeLimit, [this] { StopWorkingComponents(); }),
      progress_(view),
      log_(SendLog::OfThisUser()) {
    CreateComponents();
    view_.SetComboBox1ItemIndex(0);
}

TMainForm1::~TMainForm1() = default;

// The components as the window's layout sets them up; the send sets the server itself.
void TMainForm1::CreateComponents() {
    NMFTP1 = std::make_unique<nmftp::TNMFTP>();
    NMFTP1->Port = 21;
    NMFTP1->ReportLevel = 1;  // its protocol lines, for the send log
    NMFTP1->OnSuccess = [this](nmftp::TCmdType Trans_Type) {
        watchdog_.Feed();
        NMFTP1Success(Trans_Type);
    };
    // Passive first: the data connection goes out from here, as the control connection does,
    // which gets through home routers and firewalls; active mode is the fallback (Upload).
    NMFTP1->Passive = true;
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
    LogDialogue();
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
    NMFTP1->OnTransactionStart = [this](platform::TObject*) {
        watchdog_.Feed();
        progress_.SetStep(SendStep::Uploading);
    };
    NMFTP1->OnPacketSent = [this](platform::TObject*) {
        watchdog_.Feed();
        if (NMFTP1->DataSocket) progress_.SetBytesSent(NMFTP1->DataSocket->BytesSent);
    };
}

// The FTP client's protocol lines, and the notification's request line, go to the send log.
void TMainForm1::LogDialogue() {
    NMFTP1->OnStatus = [this](platform::TObject*, const std::string& status) {
        if (status.rfind("STOR ", 0) == 0) storeSent_ = true;
        log_.Add("ftp", status == "PASS " ? "PASS ****" : status);
    };
    NMHTTP1->OnAboutToSend = [this](platform::TObject*) {
        watchdog_.Feed();
        if (NMHTTP1->RequestHeader.Count() > 0) log_.Add("http", NMHTTP1->RequestHeader[0]);
    };
}

void TMainForm1::FormShow() {
    LoadSettings();
    if (files_.empty()) return;  // settings mode: the window stays
    if (!HasDestination()) {
        // Nowhere to send to yet: the settings come first, and the files go once they are saved.
        view_.ShowSettingsHint(SettingsFirstHint());
        sendOnSave_ = true;
        return;
    }
    Send(files_);
    view_.Close();
}

// A destination is complete with its local part and a carrier from the list: a stored carrier
// this build's list lacks selects none, and is no destination.
bool TMainForm1::HasDestination() const { return !view_.Edit2Text().empty() && view_.ComboBox1ItemIndex() >= 0; }

void TMainForm1::SendFromWindow(DroppedFiles files) {
    if (sending_ || files.empty()) return;
    if (!SavedDestination()) {
        // Nowhere to send to yet: as for a first drop on the icon, the files go once saved.
        files_ = std::move(files);
        view_.ShowSettingsHint(SettingsFirstHint());
        sendOnSave_ = true;
        return;
    }
    if (FieldsDifferFromSaved()) {
        switch (view_.AskQuestion(SaveBeforeSendingQuestion())) {
        case QuestionAnswer::Yes:
            if (!TakeDestination()) return;  // refused with a message: nothing is sent
            SaveSettings();
            break;
        case QuestionAnswer::No: break;  // to the saved destination; the edits stay in the fields
        case QuestionAnswer::Cancel: return;
        }
    }
    files_ = std::move(files);
    Send(files_);
}

void TMainForm1::RefuseNotLocalFiles() { BeepAndShowMessage(NotLocalFilesMessage()); }

bool TMainForm1::FieldsDifferFromSaved() const {
    const StoredSettings saved = ReadSettings();
    return view_.Edit1Text() != saved.name || view_.Edit2Text() != saved.localPart ||
           view_.ComboBox1ItemIndex() != saved.carrierIndex;
}

// One question before anything is sent, for all the pictures over the size limit.
bool TMainForm1::AgreesToShrink(const std::vector<const DroppedFile*>& overLimit) {
    platform::MessageBeep();
    return view_.AskYesNo(ShrinkQuestion(ExtractFileName(overLimit.front()->cp932Path), overLimit.size()));
}

void TMainForm1::Edit1Change() { view_.SetButton1Enabled(!view_.Edit1Text().empty() && !view_.Edit2Text().empty()); }

void TMainForm1::Button1Click() {
    if (!TakeDestination()) return;  // refused with a message: nothing is stored, the window stays
    SaveSettings();
    BeepAndShowMessage(platform::Cp932(
        "設定を記憶しました。\n\n次回からアイコン(EXE)にファイルをドラッグ＆ドロップするだけで携帯電話に自動送信されます。\n"
        "設定をやり直す場合はファイルをドラッグ＆ドロップせずに アイコン(EXE)を単体で起動させてください。"));
    if (sendOnSave_) {
        sendOnSave_ = false;
        view_.Hide();  // the send goes on as if the files were dropped now
        Send(files_);
    }
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
    if (view_.ComboBox1ItemIndex() < 0) {
        BeepAndShowMessage(CarrierMissingMessage());
        return false;
    }
    return true;
}

// The settings as stored. A failure stops the read where it happens: what comes after keeps its
// default (no name, no local part, the first carrier).
TMainForm1::StoredSettings TMainForm1::ReadSettings() const {
    StoredSettings settings;
    platform::TRegistry registry;
    try {
        registry.OpenKey(SettingsKey, true);
        settings.name = registry.ReadString("NAME");
        settings.localPart = registry.ReadString("MAIL1");
        settings.carrierIndex = registry.ReadInteger("MAIL2");
    } catch (const std::exception&) {
    }
    registry.CloseKey();
    return settings;
}

void TMainForm1::LoadSettings() {
    const StoredSettings settings = ReadSettings();
    view_.SetEdit1Text(settings.name);
    view_.SetEdit2Text(settings.localPart);
    view_.SetComboBox1ItemIndex(settings.carrierIndex);
}

// The destination as saved, which every send goes to: the fields may hold edits not yet saved.
// None without a local part, or with a carrier the list lacks.
std::optional<TMainForm1::SendDestination> TMainForm1::SavedDestination() const {
    const StoredSettings settings = ReadSettings();
    if (settings.localPart.empty() || settings.carrierIndex < 0 ||
        settings.carrierIndex >= static_cast<int>(std::size(CarrierDomains)))
        return std::nullopt;
    return SendDestination{settings.name, settings.localPart, CarrierDomains[settings.carrierIndex]};
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

// The one send, over a list of files: they are checked, the accepted ones go in one FTP session,
// each announced right after its upload, and then the user learns what became of them. A list of
// one keeps the messages of a single file: each refusal as it is found, the success message as
// its upload succeeds (NMFTP1Success), its failure message. Several get one summary at the end.
// The send goes to the saved destination; a cancel ends it without a word unless files were
// announced already.
void TMainForm1::Send(const DroppedFiles& files) {
    if (sending_ || files.empty()) return;
    const std::optional<SendDestination> destination = SavedDestination();
    if (!destination) return;  // the callers ask for one first
    destination_ = *destination;
    filesInSend_ = files.size();
    sending_ = true;
    cancelled_ = false;
    BatchReport report;
    const std::vector<const DroppedFile*> accepted = uploads_ = AcceptedFiles(files, report);
    std::optional<SendFailure> failure;
    if (files.size() > 1 || !accepted.empty()) {
        log_.Begin(platform::Cp932("送信: ") + (files.size() == 1 ? files[0].cp932Path
                                                                  : std::to_string(accepted.size()) +
                                                                        platform::Cp932(" 個のファイル")));
        if (!accepted.empty()) failure = SendAccepted(accepted, report);
        progress_.Hide();
        StopWatching();
        const std::string logPath = WriteLog();
        if (files.size() == 1) {
            if (failure && !cancelled_) BeepAndShowMessage(SendFailedMessage(*failure, ExtractFileName(files[0].cp932Path), logPath));
            else if (!cancelled_ && !report.refused.empty()) BeepAndShowMessage(report.refused.front().reason);  // did not shrink
        } else if (!cancelled_ || !report.sent.empty()) {
            // Files announced before a cancel will reach the phone: the summary says which.
            BeepAndShowMessage(BatchSummaryMessage(destination_.Address(), report, logPath));
        }
    }
    uploads_.clear();
    filesInSend_ = 0;
    sending_ = false;
}

// The files that go, in their order. One file's refusals are messages of their own; those of
// several are told in the summary: the files over the bound, the pictures over the size limit the
// user chose not to shrink, and those whose upload name (a shrunk picture's ".jpg" included) an
// earlier file has taken, since the server would keep only the last.
std::vector<const DroppedFile*> TMainForm1::AcceptedFiles(const DroppedFiles& files, BatchReport& report) {
    if (files.size() == 1) {
        const auto refuse = [this](const std::string& text) { BeepAndShowMessage(text); };
        if (CheckDroppedFile(files[0], destination_.localPart, refuse) != DropCheck::Accepted) return {};
        if (IsOverSizeLimit(files[0]) && !AgreesToShrink({&files[0]})) {
            BeepAndShowMessage(SizeLimitReason());
            return {};
        }
        return {&files[0]};
    }
    std::vector<const DroppedFile*> checked;
    std::vector<const DroppedFile*> overLimit;
    for (const DroppedFile& file : files) {
        const std::string name = ExtractFileName(file.cp932Path);
        if (checked.size() + report.refused.size() >= MaxBatchFiles) {
            report.refused.push_back({name, platform::Cp932("一度に送信できるのは ") + std::to_string(MaxBatchFiles) +
                                                platform::Cp932(" 個までです。")});
            continue;
        }
        const DropVerdict verdict = JudgeDroppedFile(file, destination_.localPart);
        if (verdict.check != DropCheck::Accepted) {
            report.refused.push_back({name, Joined(verdict.reasons)});
            continue;
        }
        checked.push_back(&file);
        if (IsOverSizeLimit(file)) overLimit.push_back(&file);
    }
    const bool shrink = !overLimit.empty() && AgreesToShrink(overLimit);
    std::vector<const DroppedFile*> accepted;
    std::vector<std::string> uploadNames;
    for (const DroppedFile* file : checked) {
        const std::string name = ExtractFileName(file->cp932Path);
        const bool over = std::find(overLimit.begin(), overLimit.end(), file) != overLimit.end();
        if (over && !shrink) {
            report.refused.push_back({name, SizeLimitReason()});
            continue;
        }
        const std::string uploadName = over ? ShrunkPictureName(name) : name;
        if (std::find(uploadNames.begin(), uploadNames.end(), uploadName) != uploadNames.end()) {
            report.refused.push_back({name, SameNameReason()});
            continue;
        }
        uploadNames.push_back(uploadName);
        accepted.push_back(file);
    }
    return accepted;
}

// One session for all the files: each is uploaded and then announced. A file the server refuses,
// or that can no longer be read, or whose notification fails, does not stop the others; a
// failure of the session itself ends it, and the files after it are not sent.
// Returns the last failure, for a file of its own or of the session.
std::optional<SendFailure> TMainForm1::SendAccepted(const std::vector<const DroppedFile*>& accepted, BatchReport& report) {
    std::vector<std::int64_t> sizes;
    std::int64_t total = 0;
    for (const DroppedFile* file : accepted) total += sizes.emplace_back(FileSize(file->path).value_or(0));
    progress_.Begin(static_cast<int>(accepted.size()), total);
    std::size_t next = 0;
    std::optional<SendFailure> sessionEnd;
    std::optional<SendFailure> lastFailure;
    try {
        const SendServer server = OpenSession(*accepted[0], sizes[0]);
        for (; next < accepted.size(); ++next) {
            const std::string name = ExtractFileName(accepted[next]->cp932Path);
            progress_.StartFile(static_cast<int>(next), name, sizes[next]);
            if (accepted.size() > 1)
                log_.Add("send", "file " + std::to_string(next + 1) + " of " + std::to_string(accepted.size()) + ": " + name);
            try {
                const auto prepared = PrepareFile(*accepted[next], SendStep::Uploading);
                if (const auto* refused = std::get_if<UploadRefusal>(&prepared)) {
                    report.refused.push_back({name, refused->reason});
                    continue;
                }
                const FileToUpload& upload = std::get<FileToUpload>(prepared);
                ThrowIfStalled();  // cancelled while it shrank
                watchdog_.Start();
                Upload(upload);
                Notify(server, upload.cp932Name);
                StopWatching();
                report.sent.push_back(upload.shrunk ? ShrunkFileLabel(name, upload.cp932Name) : name);
                log_.Add("send", "sent");
            } catch (...) {
                StopWatching();
                if (cancelled_) throw;
                const SendFailure failure = FailureOf(std::current_exception());
                lastFailure = failure;
                report.failed.push_back({name, SendFailureLine(failure)});
                LogFailure(failure);
                if (!SessionGoesOn(failure)) {
                    sessionEnd = failure;
                    ++next;
                    break;
                }
            }
        }
    } catch (...) {
        StopWatching();
        if (cancelled_) {
            log_.Add("send", "cancelled by the user");
        } else {
            sessionEnd = FailureOf(std::current_exception());  // the session never opened
            lastFailure = sessionEnd;
            LogFailure(*sessionEnd);
        }
    }
    const std::string reason = cancelled_ ? platform::Cp932("キャンセルしました。") : SendFailureLine(*sessionEnd);
    for (; next < accepted.size(); ++next) report.failed.push_back({ExtractFileName(accepted[next]->cp932Path), reason});
    return lastFailure;
}

// What goes for the file: a picture over the limit is shrunk first, with the progress window
// saying so; stepAfter is the step the window shows next.
std::variant<FileToUpload, UploadRefusal> TMainForm1::PrepareFile(const DroppedFile& file, SendStep stepAfter) {
    if (!IsOverSizeLimit(file)) return PrepareUpload(file);
    progress_.SetStep(SendStep::Shrinking);
    auto prepared = PrepareUploadWhileWaiting(file);
    if (const auto* upload = std::get_if<FileToUpload>(&prepared)) {
        log_.Add("send", upload->logLine);
        progress_.SetFileSize(FileSize(upload->path).value_or(0));
    } else {
        log_.Add("send", "not shrunk: " + std::get<UploadRefusal>(prepared).reason);
    }
    progress_.SetStep(stepAfter);
    return prepared;
}

// Where the send goes, then the log-in, the transfer type and the folder, for every upload that
// follows; the progress window counts from here, at the first file.
SendServer TMainForm1::OpenSession(const DroppedFile& firstFile, std::int64_t firstSize) {
    stage_ = SendStage::Preparing;
    const SendServer server = SendServerFromEnvironment();
    progress_.StartFile(0, ExtractFileName(firstFile.cp932Path), firstSize);
    watchdog_.Start();
    stage_ = SendStage::LoggingIn;
    stageServer_ = platform::net::HostInUrl(server.host) + ":" + std::to_string(server.ftpPort);
    log_.Add("send", "FTP " + stageServer_);
    NMFTP1->Host = server.host;
    NMFTP1->Port = server.ftpPort;
    NMFTP1->UserID = "zdq";
    NMFTP1->Password = "Qm7tR2xw";
    NMFTP1->Connect();
    ThrowIfStalled();
    stage_ = SendStage::Uploading;
    NMFTP1->Mode(2);
    ThrowIfStalled();
    NMFTP1->ChangeDir("./");
    ThrowIfStalled();
    return server;
}

// In the session's mode: passive, until the server refuses "PASV"; then, and for the rest of
// the session, active, with the data connection coming from the server.
void TMainForm1::Upload(const FileToUpload& file) {
    stage_ = SendStage::Uploading;
    stageServer_ = platform::net::HostInUrl(NMFTP1->Host) + ":" + std::to_string(NMFTP1->Port);
    const std::string& fileName = file.cp932Name;
    uploadName_ = fileName;
    try {
        storeSent_ = false;
        log_.Add("send", NMFTP1->Passive ? "upload in passive mode" : "upload in active mode");
        NMFTP1->Upload(file.path, fileName);
    } catch (const nmftp::FTPException&) {
        // Before its STOR, a passive upload sends one command: the refused "PASV". A 4xx is
        // the server's passing trouble, not a refusal of passive mode.
        if (!NMFTP1->Passive || storeSent_ || NMFTP1->ReplyNumber < 500) throw;
        ThrowIfStalled();
        log_.Add("send", "passive mode refused: upload in active mode");
        NMFTP1->Passive = false;
        NMFTP1->Upload(file.path, fileName);
    }
    ThrowIfStalled();
}

void TMainForm1::Notify(const SendServer& server, const std::string& fileName) {
    stage_ = SendStage::Notifying;
    stageServer_ = platform::net::HostInUrl(server.host) + ":" + std::to_string(server.httpPort);
    const std::string port = server.httpPort == 80 ? "" : ":" + std::to_string(server.httpPort);
    const std::string url =
        NotifyUrl(platform::net::HostInUrl(server.host) + port, fileName, destination_.name, destination_.localPart, destination_.carrier);
    progress_.SetStep(SendStep::Notifying);
    watchdog_.Start();
    notifyDeadline_.Start();
    try {
        NMHTTP1->Post(url, "");
    } catch (...) {
        log_.Add("http", "(no complete answer)");
        throw;
    }
    ThrowIfStalled();
    notifyDeadline_.Stop();
    const std::string statusLine = NMHTTP1->Header.substr(0, NMHTTP1->Header.find_first_of("\r\n"));
    log_.Add("http", statusLine.empty() ? "(no status line)" : statusLine);
    // The client does not treat an error status as a failure, but then the script has not
    // taken the notification and no link will be mailed; no status line at all says as little.
    if (NMHTTP1->ReplyNumber < 100 || NMHTTP1->ReplyNumber >= 400)
        throw platform::Exception(statusLine.empty() ? "no status line" : statusLine);
}

// A file of several may fail on its own, and the session goes on with the next: the server
// refused this one file, or it could no longer be read, or its notification failed.
bool TMainForm1::SessionGoesOn(const SendFailure& failure) const {
    const bool thisFileAlone = failure.kind == SendFailureKind::UploadRefused ||
                               failure.kind == SendFailureKind::FileUnreadable ||
                               failure.kind == SendFailureKind::NotificationFailed;
    return thisFileAlone && NMFTP1->Connected;
}

// What the failure of the send means for the user. A cancelled wait is the send's own bound.
SendFailure TMainForm1::FailureOf(const std::exception_ptr& error) const {
    if (stage_ == SendStage::Notifying && notifyDeadline_.Expired())
        return {SendFailureKind::NoAnswer, "notification not over within " +
                                               std::to_string(NotifyTimeLimit.count() / 1000) + " s"};
    if (watchdog_.Expired())
        return {SendFailureKind::NoAnswer,
                stageServer_ + ": no progress for " + std::to_string(SendStallLimit.count() / 1000) + " s"};
    return ClassifySendFailure(stage_, error, stageServer_);
}

void TMainForm1::LogFailure(const SendFailure& failure) { log_.Add("send", "failed: " + SendFailureLine(failure)); }

// Appends the send's entry to the log; returns the log's path for a message, "" when it could not
// be written.
std::string TMainForm1::WriteLog() { return log_.Write() ? log_.File().Cp932ForMessage() : ""; }

// A send of one file tells its success as the upload succeeds, before the notification.
void TMainForm1::NMFTP1Success(nmftp::TCmdType Trans_Type) {
    if (Trans_Type != nmftp::cmdUpload || cancelled_ || filesInSend_ != 1 || uploads_.empty()) return;
    watchdog_.Stop();  // the user may read the message as long as they like
    BeepAndShowMessage(SendSucceededMessage(destination_.Address(), uploadName_));
}

// The user stops the send: whatever waits is cancelled at once, as for a stall, and the send
// ends without a message. Nothing more goes to the server.
void TMainForm1::CancelButtonClick() {
    if (progress_.Visible()) CancelSend();  // else a click that arrives after the window has gone
}

void TMainForm1::CancelSend() {
    if (!sending_) return;
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
    if (stage_ == SendStage::Notifying && notifyDeadline_.Expired()) throw psock::EAbortError("Notification took too long");
}

void TMainForm1::BeepAndShowMessage(const std::string& cp932Text) {
    progress_.Hide();  // a message never shares the screen with the progress window
    platform::MessageBeep();
    view_.ShowMessage(cp932Text);
}

}  // namespace app
