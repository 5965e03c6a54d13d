#pragma once
// TNMFTP: the FTP client. The socket's own connection is the control connection; an upload opens
// a second socket (DataSocket) for the data. Every operation is synchronous, like the socket
// layer's, and reports through the events below, which run inside the operation.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "net/socket/psock.h"
#include "platform/file_path.h"

namespace nmftp {

using platform::Exception;
using platform::THandlerEvent;
using platform::TNotifyEvent;
using platform::TObject;

// A negative server reply; the message is the reply's first line as read, CR LF included.
class FTPException : public Exception {
public:
    using Exception::Exception;
};

// Which operation an event reports. The numbers are fixed: callers compare them.
enum TCmdType : std::uint8_t {
    cmdChangeDir = 0,
    cmdMakeDir = 1,
    cmdDelete = 2,
    cmdRemoveDir = 3,
    cmdUpload = 9,
    cmdDoCommand = 14,
    cmdPrintDir = 15,
};

// How the log-in goes through a proxy (Proxy not empty).
enum TFirewallType : std::uint8_t { FTUser = 0, FtOpen = 1, FtSite = 2 };

using TSuccessEvent = std::function<void(TCmdType Trans_Type)>;
using TFailureEvent = std::function<void(bool& Handled, TCmdType Trans_Type)>;
using TUnsupportedEvent = std::function<void(TCmdType Trans_Type)>;
using TNMListItem = std::function<void(const std::string& Listing)>;

class TNMFTP : public psock::TPowersock {
public:
    TNMFTP();
    ~TNMFTP() override;

    // Published properties and events of the FTP client. The socket's OnPacketRecvd,
    // OnPacketSent, OnError, OnConnectionRequired, Proxy and ProxyPort are published as well.
    TNotifyEvent OnConnect;  // after a successful log-in; hides the socket-level event
    std::string UserID;
    std::string Password;
    TNotifyEvent OnTransactionStart;
    TNotifyEvent OnTransactionStop;
    THandlerEvent OnAuthenticationNeeded;
    THandlerEvent OnAuthenticationFailed;  // kept for handlers written against it; never fired
    TFailureEvent OnFailure;
    TSuccessEvent OnSuccess;
    TNMListItem OnListItem;  // kept for handlers written against it; never fired
    TUnsupportedEvent OnUnSupportedFunction;
    int Vendor = 0;          // not read by any operation
    bool ParseList = false;  // not read by any operation
    bool Passive = false;
    TFirewallType FirewallType = FTUser;
    std::string FWUserID;
    std::string FWPassword;
    bool FWAuthenticate = false;

    // Held for the whole of Upload. Recursive: a handler that runs inside Upload on the same
    // thread and uploads again must not deadlock; another thread waits for the first upload.
    std::recursive_mutex TransferLock;
    // The data connection of the running Upload; empty at all other times.
    std::unique_ptr<psock::TPowersock> DataSocket;

    // Control session.
    void Connect() override;
    void Disconnect() override;
    std::string Transaction(const std::string& command) override;
    void DoCommand(const std::string& command);
    void ReadReplyContinuation(const std::string& firstLine);

    // Transfer commands.
    void Mode(int transferType);
    void ChangeDir(const std::string& directory);
    // Stores the local file under remoteName (its own name when remoteName is empty). A file
    // given by its own path is read from there whatever its CP932 name; remoteName is CP932.
    void Upload(const std::string& localFile, const std::string& remoteName);
    void Upload(const platform::FilePath& localFile, const std::string& remoteName);
    void Abort() override;

private:
    std::string Command(const std::string& line);
    void LogIn();
    void ReadGreeting();
    void LogInToFirewall();
    void SendProxyForm();
    void LogInStep(const std::string& line);
    void DiscardWaitingInput();
    void ReportNegativeReply(const std::string& reply, TCmdType code, bool unsupportedToo);

    void UploadFile(const platform::FilePath& localFile, const std::string& cp932LocalName,
                    const std::string& remoteName);
    bool TransferFile(const platform::FilePath& localFile, const std::string& storeLine,
                      const std::string& storeReport, bool& failureReported);
    std::string ReadTransferReply();
    void ReportRefusedUpload(const std::string& reply, bool unsupportedToo, bool& failureReported);
    bool OpenPassiveDataConnection(bool& failureReported);
    bool AnnounceDataPort(bool& failureReported);
    void AcceptFromControlPeer();
    void FailIfControlInterrupted();
};

// Raises unless the text can go on the control connection as one line: no CR, LF or NUL.
void CheckCommandLine(const std::string& line);
// The transaction code DoCommand reports for a command line.
TCmdType ClassifyCommand(const std::string& command);
// The reply code of a reply line: its leading decimal digits, 0 when there are none.
std::int16_t ReplyCode(const std::string& line);
// The data port of a "PASV" reply: the fifth number times 256 plus the sixth. A number that is
// no decimal integer raises EConvertError; one outside 0-255, ERangeError.
int PassivePort(const std::string& reply);
// The data port of an "EPSV" reply, "(|||port|)" with any printable delimiter. A reply not of
// that form raises EConvertError; a port outside 1-65535, ERangeError.
int ExtendedPassivePort(const std::string& reply);
// The name part of a CP932 path: the text after its last "\", "/" or ":".
std::string FileNamePart(const std::string& path);

}  // namespace nmftp
