#pragma once
// Why a send failed, as the user is told it. Failures of the network and the servers keep the
// first line everybody knows, "インターネットに接続できません。", and say after it which step
// failed, with the technical detail in brackets; a failure that is not the network's (the file,
// the program's own settings) gets a first line of its own. The last line names the send log.

#include <exception>
#include <string>

namespace app {

enum class SendFailureKind {
    // The network's and the servers'.
    HostNotFound,
    NoConnection,
    NoAnswer,            // nothing moved within the send's bound
    ConnectionLost,      // the connection broke off in the middle
    LogInRefused,
    UploadRefused,       // a command of the upload refused: the detail is the server's reply
    NotificationFailed,  // the detail is the status line, or what broke the request
    Other,
    // Not the network's.
    FileUnreadable,
    PortSettingInvalid,
};

struct SendFailure {
    SendFailureKind kind = SendFailureKind::Other;
    std::string detail;  // CP932, technical, one line
};

// The step of a send under way, which decides what a failure means.
enum class SendStage { Preparing, LoggingIn, Uploading, Notifying };

// What the failure that error stands for is; server ("host:port") names where the step went.
SendFailure ClassifySendFailure(SendStage stage, const std::exception_ptr& error, const std::string& server);

// The line that says what failed, detail in brackets: "サーバーに接続できませんでした。[...]".
std::string SendFailureLine(const SendFailure& failure);

// The whole failure message (CP932). cp932LogPath: the send log, "" when none was written.
std::string SendFailedMessage(const SendFailure& failure, const std::string& cp932FileName,
                              const std::string& cp932LogPath);

}  // namespace app
