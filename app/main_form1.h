#pragma once
// TMainForm1: the main window's logic, apart from any toolkit. A window face owns it, forwards
// its controls' events to the handlers and shows what the logic asks through TMainForm1View.
//
// Started without a file, the window is the settings window; started with files (dropped on the
// program's icon, or sent to it from the shell), FormShow checks them, sends them and closes the
// window again. Every send is one sequence over a list of files (Send): one file is sent with its
// own messages; several go in one FTP session, each announced right after its upload, and one
// message at the end tells how it went.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/batch_summary.h"
#include "app/dropped_file_check.h"
#include "app/main_form_view.h"
#include "app/send_failure.h"
#include "app/send_log.h"
#include "app/send_progress.h"
#include "app/send_server.h"
#include "app/send_watchdog.h"
#include "app/shrink_for_send.h"
#include "net/ftp/nmftp.h"
#include "net/http/nmhttp.h"

namespace app {

// The settings' key under the current user's hive.
inline constexpr const char SettingsKey[] = "\\Software\\Varrowen\\iZDQ";

// How long a send may go without progress before it fails, so that one nobody is watching ends
// too; the user may cancel it sooner from the progress window.
inline constexpr std::chrono::milliseconds SendStallLimit{30'000};
// The notification script answers a few bytes at once. A server that keeps sending, or drips
// its answer so slowly that it never stalls, fails the notification at these bounds.
inline constexpr std::chrono::milliseconds NotifyTimeLimit{30'000};
inline constexpr std::int64_t NotifyResponseLimit = 1024 * 1024;

class TMainForm1 {
public:
    // Creates the network components and selects the carrier domain, as the window is created.
    TMainForm1(TMainForm1View& view, DroppedFiles files);
    ~TMainForm1();

    // Handlers, named as the toolkit names them.
    void FormShow();
    void Edit1Change();  // change of Edit1 or Edit2
    void Button1Click();  // lets a refused save escape to the failure display
    void SpeedButton1Click();  // the maker's information page
    void SpeedButton2Click();  // the service's web site
    void SpeedButton3Click();  // the list of supported formats
    void NMFTP1Success(nmftp::TCmdType Trans_Type);
    void CancelButtonClick();  // the progress window's キャンセル button, Esc or close box
    void CancelSend();         // the main window closed during a send, its progress shown or not

    void LoadSettings();  // silent on every failure
    void SaveSettings();  // throws platform::ERegistryException naming the refused value
    // Sends the files to the saved destination (nothing without one, or while a send is under way).
    void Send(const DroppedFiles& files);
    bool Sending() const { return sending_; }
    // Files dropped on the open window, chosen or pasted there: sent as a drop on the icon sends
    // them, to the saved destination, asking first whether to save edited fields; the window stays.
    void SendFromWindow(DroppedFiles files);
    // Something dropped or pasted that is no file of this machine.
    void RefuseNotLocalFiles();

    // The network components the window owns.
    std::unique_ptr<nmftp::TNMFTP> NMFTP1;
    std::unique_ptr<nmhttp::TNMHTTP> NMHTTP1;

private:
    void CreateComponents();
    bool HasDestination() const;
    bool FieldsDifferFromSaved() const;
    bool TakeDestination();  // false: refused, with a message
    void WatchForProgress();
    void LogDialogue();
    struct SendDestination {
        std::string name;  // all CP932
        std::string localPart;
        std::string carrier;
        std::string Address() const { return localPart + "@" + carrier; }
    };
    struct StoredSettings {
        std::string name;  // CP932
        std::string localPart;
        int carrierIndex = 0;
    };
    StoredSettings ReadSettings() const;
    std::optional<SendDestination> SavedDestination() const;
    std::vector<const DroppedFile*> AcceptedFiles(const DroppedFiles& files, BatchReport& report);
    std::optional<SendFailure> SendAccepted(const std::vector<const DroppedFile*>& accepted, BatchReport& report);
    bool AgreesToShrink(const std::vector<const DroppedFile*>& overLimit);
    std::variant<FileToUpload, UploadRefusal> PrepareFile(const DroppedFile& file, SendStep stepAfter);
    SendServer OpenSession(const DroppedFile& firstFile, std::int64_t firstSize);
    void Upload(const FileToUpload& file);
    void Notify(const SendServer& server, const std::string& fileName);
    SendFailure FailureOf(const std::exception_ptr& error) const;
    bool SessionGoesOn(const SendFailure& failure) const;
    void LogFailure(const SendFailure& failure);
    std::string WriteLog();
    void StopWorkingComponents();
    void StopWatching();
    void ThrowIfStalled() const;
    void BeepAndShowMessage(const std::string& cp932Text);

    TMainForm1View& view_;
    DroppedFiles files_;
    SendWatchdog watchdog_;
    SendWatchdog notifyDeadline_;  // never fed: bounds the notification's whole time
    SendProgress progress_;
    SendLog log_;
    SendStage stage_ = SendStage::Preparing;
    std::string stageServer_;  // "host:port" of the step under way
    std::string uploadName_;   // the name the file under way goes under
    bool storeSent_ = false;   // the upload under way has sent its STOR
    bool sending_ = false;
    SendDestination destination_;             // of the send under way
    std::size_t filesInSend_ = 0;              // one: the file's own messages
    std::vector<const DroppedFile*> uploads_;  // the send's accepted files
    bool sendOnSave_ = false;    // files came before a destination was saved
    bool cancelled_ = false;   // by the user: the send ends without a word
};

}  // namespace app
