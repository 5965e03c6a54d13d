#include "net/ftp/nmftp.h"

#include <cstdint>
#include <limits>

#include "platform/cp932.h"
#include "platform/file_stream.h"
#include "platform/sockets.h"

namespace nmftp {

namespace {

bool IsFailure(int code, int lowest, int highest) { return code >= lowest && code <= highest; }

// A reply line that asks for more lines: indented, or with "-" right after the code.
bool IsContinued(const std::string& line) {
    return (!line.empty() && line[0] == ' ') || (line.size() >= 4 && line[3] == '-');
}

// One of the two port numbers of a "PASV" reply. Anything outside a byte is no port: taken as
// it is, it would overflow or quietly connect elsewhere.
int PassivePortByte(const std::string& text) {
    const int value = platform::StrToInt(text);
    if (value < 0 || value > 255) {
        throw platform::ERangeError("Passive mode port number out of range (0-255): '" + text + "'");
    }
    return value;
}

std::string PrintableReply(const std::string& reply) {
    std::string text = reply;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// "EPRT |2|2001:db8::1|5282|": the family, the address (no zone: the server has its own) and the port.
std::string ExtendedPortArgument(platform::net::SocketAddress address, std::uint16_t port) {
    address.scope = 0;
    const char* family = address.IsIPv6() ? "2" : "1";
    return std::string("|") + family + "|" + platform::net::AddressText(address) + "|" + std::to_string(port) + "|";
}

// ReadLn gives an empty line when the connection closed before a whole line came.
psock::ESockError ClosedWithoutReply() { return psock::ESockError("Connection closed without a reply"); }

}  // namespace

// ---- Free helpers ----------------------------------------------------------------------------

void CheckCommandLine(const std::string& line) {
    // A line break would end the command early and smuggle the rest in as a second command;
    // a NUL would cut the line short, CR LF included, and leave the reply wait hanging.
    if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        throw Exception("FTP command contains a line break or NUL");
    }
}

TCmdType ClassifyCommand(const std::string& command) {
    const std::string word = psock::NthWord(command, ' ', 1) + " ";
    if (word == "CWD ") return cmdChangeDir;
    if (word == "DELE ") return cmdDelete;
    if (word == "MKD ") return cmdMakeDir;
    if (word == "RMD ") return cmdRemoveDir;
    return command == "PWD" ? cmdPrintDir : cmdDoCommand;
}

std::int16_t ReplyCode(const std::string& line) {
    std::int64_t value = 0;
    for (std::size_t i = 0; i < line.size() && i < 10 && line[i] >= '0' && line[i] <= '9'; ++i) {
        value = value * 10 + (line[i] - '0');
    }
    if (value > std::numeric_limits<std::int32_t>::max()) value = 0;
    if (value > std::numeric_limits<std::int16_t>::max()) throw platform::ERangeError();
    return static_cast<std::int16_t>(value);
}

int PassivePort(const std::string& reply) {
    // "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)": only p1 and p2 are used.
    const std::string high = psock::NthWord(reply, ',', 5);
    const std::string sixth = psock::NthWord(reply, ',', 6);
    const std::size_t close = sixth.find(')');
    const std::string low = close == std::string::npos ? std::string() : sixth.substr(0, close);
    return PassivePortByte(low) + PassivePortByte(high) * 256;
}

int ExtendedPassivePort(const std::string& reply) {
    // "229 Entering Extended Passive Mode (|||6446|)": three delimiters, the port, a fourth.
    const std::size_t open = reply.find('(');
    const auto malformed = [&reply] {
        return platform::EConvertError("Malformed extended passive reply: '" + PrintableReply(reply) + "'");
    };
    if (open == std::string::npos || reply.size() < open + 4) throw malformed();
    const char delimiter = reply[open + 1];
    if (delimiter < 33 || delimiter > 126 || reply[open + 2] != delimiter || reply[open + 3] != delimiter)
        throw malformed();
    const std::size_t end = reply.find(delimiter, open + 4);
    if (end == std::string::npos || reply.compare(end + 1, 1, ")") != 0) throw malformed();
    const std::string digits = reply.substr(open + 4, end - open - 4);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) throw malformed();
    if (digits.size() > 5 || platform::StrToInt(digits) < 1 || platform::StrToInt(digits) > 65535)
        throw platform::ERangeError("Extended passive port out of range (1-65535): '" + digits + "'");
    return platform::StrToInt(digits);
}

std::string FileNamePart(const std::string& path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (platform::IsLeadByte(path[i]) && i + 1 < path.size()) {
            ++i;  // a trail byte may equal "\" and is no separator
        } else if (c == '\\' || c == '/' || c == ':') {
            start = i + 1;
        }
    }
    return path.substr(start);
}

// ---- Life ------------------------------------------------------------------------------------

TNMFTP::TNMFTP() {
    Port = 21;
    // Data that arrives between operations waits in the socket; each command discards it first.
    OnReadReady = [](TObject*) {};
}

TNMFTP::~TNMFTP() { Cancel(); }

// ---- Control session -------------------------------------------------------------------------

std::string TNMFTP::Transaction(const std::string& command) {
    CheckCommandLine(command);
    const std::string reply = TPowersock::Transaction(command);
    ReadReplyContinuation(reply);
    return reply;
}

// One countdown for the lines after the first: a server that keeps sending them cannot hold
// the reply beyond the time-out.
void TNMFTP::ReadReplyContinuation(const std::string& firstLine) {
    std::string line = firstLine;
    if (!IsContinued(line)) return;
    TimerOn();
    try {
        do {
            line = ReadLn();
            if (line.empty()) break;
            ReportStatus(1, line);
        } while (IsContinued(line));
    } catch (...) {
        TimerOff();
        throw;
    }
    TimerOff();
}

// A command whose reply decides what happens next: a closed connection is no reply at all.
std::string TNMFTP::Command(const std::string& line) {
    const std::string reply = Transaction(line);
    if (reply.empty()) throw ClosedWithoutReply();
    return reply;
}

void TNMFTP::Connect() {
    Canceled = false;
    if (Connected) return;
    CheckCommandLine(UserID + Password);
    if (FWAuthenticate) CheckCommandLine(FWUserID + FWPassword);
    if (!Proxy.empty()) CheckCommandLine(Host);
    ClearInput();
    TPowersock::Connect();
    try {
        LogIn();
    } catch (const psock::ESockError&) {
        // The connection broke, timed out or was cancelled: no reply to a QUIT could be told
        // from what the server was still sending, so the socket is closed as it is.
        TPowersock::Disconnect();
        ReportStatus(1, "Disconnected");
        throw;
    } catch (...) {
        // The log-in's failure is the one to report, not a QUIT that fails as well.
        try {
            Disconnect();
        } catch (const std::exception&) {
        }
        ReportStatus(1, "Disconnected");
        throw;
    }
}

void TNMFTP::LogIn() {
    ReadGreeting();
    if (FWAuthenticate) LogInToFirewall();
    if ((UserID.empty() || Password.empty()) && OnAuthenticationNeeded) {
        bool handled = false;
        OnAuthenticationNeeded(handled);
    }
    if (!Proxy.empty()) SendProxyForm();
    if (Proxy.empty() || FirewallType != FTUser) {
        ReportStatus(1, "USER " + UserID);
        LogInStep("USER " + UserID);
    }
    if (ReplyNumber == 331) {
        ReportStatus(1, "PASS ");  // the password itself is never reported
        LogInStep("PASS " + Password);
    }
    if (OnConnect) OnConnect(this);
}

void TNMFTP::ReadGreeting() {
    const std::string greeting = ReadLn();
    if (!greeting.empty()) ReportStatus(1, greeting);
    ReadReplyContinuation(greeting);
    ReplyNumber = ReplyCode(greeting);
    if (greeting.empty()) throw ClosedWithoutReply();
    if (ReplyNumber > 400) {
        if (OnConnectionFailed) OnConnectionFailed(this);
        throw FTPException(greeting);
    }
}

void TNMFTP::LogInToFirewall() {
    LogInStep("USER " + FWUserID);
    if (ReplyNumber == 331) {
        ReportStatus(1, "PASS ");
        LogInStep("PASS " + FWPassword);
    }
}

// The proxy learns the real host from the first line; its reply is judged like any log-in step,
// so a refused proxy log-in is never taken for a session.
void TNMFTP::SendProxyForm() {
    switch (FirewallType) {
    case FTUser: LogInStep("USER " + UserID + "@" + Host); break;
    case FtOpen: LogInStep("OPEN " + Host); break;
    case FtSite: LogInStep("SITE " + Host); break;
    }
}

void TNMFTP::LogInStep(const std::string& line) {
    const std::string reply = Command(line);
    if (IsFailure(ReplyNumber, 401, 599)) {
        if (OnConnectionFailed) OnConnectionFailed(this);
        throw FTPException(reply);
    }
}

void TNMFTP::Disconnect() {
    Canceled = false;
    if (!Connected) return;
    ReportStatus(1, "QUIT");
    std::string reply;
    try {
        DiscardWaitingInput();
        reply = Transaction("QUIT");
    } catch (...) {
        TPowersock::Disconnect();
        throw;
    }
    const bool refused = IsFailure(ReplyNumber, 301, 599);
    TPowersock::Disconnect();
    if (refused) throw FTPException(reply);
}

void TNMFTP::DoCommand(const std::string& command) {
    const TCmdType code = ClassifyCommand(command);
    CheckCommandLine(command);
    Canceled = false;
    CheckConnection();
    ReportStatus(1, command);
    DiscardWaitingInput();
    const std::string reply = Command(command);
    if (IsFailure(ReplyNumber, 400, 599)) {
        ReportNegativeReply(reply, code, true);
        return;
    }
    if (OnSuccess) OnSuccess(code);
}

void TNMFTP::DiscardWaitingInput() {
    if (DataAvailable()) Read(0);
}

// Fires the failure events of a negative reply; returns only when OnFailure handled it.
void TNMFTP::ReportNegativeReply(const std::string& reply, TCmdType code, bool unsupportedToo) {
    if (unsupportedToo && IsFailure(ReplyNumber, 500, 502) && OnUnSupportedFunction) {
        OnUnSupportedFunction(code);
    }
    if (!OnFailure) throw FTPException(reply);
    bool handled = false;
    OnFailure(handled, code);
    if (!handled) throw FTPException(reply);
}

// ---- Transfer commands -----------------------------------------------------------------------

void TNMFTP::Mode(int transferType) {
    switch (transferType) {
    case 1: DoCommand("TYPE A"); break;
    case 2: DoCommand("TYPE I"); break;
    case 3: DoCommand("TYPE L 8"); break;
    default: break;
    }
}

void TNMFTP::ChangeDir(const std::string& directory) { DoCommand("CWD " + directory); }

void TNMFTP::Abort() {
    if (DataSocket) DataSocket->Cancel();
    // The time-out calls Abort too: then the wait for a reply on the control connection ends.
    if (TimedOut) Cancel();
}

void TNMFTP::Upload(const std::string& localFile, const std::string& remoteName) {
    UploadFile(platform::FilePath::FromCp932(localFile), localFile, remoteName);
}

void TNMFTP::Upload(const platform::FilePath& localFile, const std::string& remoteName) {
    UploadFile(localFile, localFile.Cp932ForMessage(), remoteName);
}

void TNMFTP::UploadFile(const platform::FilePath& localFile, const std::string& cp932LocalName,
                        const std::string& remoteName) {
    // A negative reply already offered to OnFailure is not offered again on its way out.
    bool failureReported = false;
    try {
        Canceled = false;
        CheckConnection();
        const std::string storeLine = "STOR " + (remoteName.empty() ? FileNamePart(cp932LocalName) : remoteName);
        const std::string storeReport = "STOR " + (remoteName.empty() ? cp932LocalName : remoteName);
        CheckCommandLine(storeLine);
        bool succeeded = false;
        {
            std::lock_guard<std::recursive_mutex> lock(TransferLock);
            // The lock lets a handler on this thread through. A second upload cannot share the
            // control connection with a transfer under way, and must not take its data socket.
            if (DataSocket) throw Exception("Upload already in progress");
            struct DataSocketRelease {
                TNMFTP& ftp;
                ~DataSocketRelease() { ftp.DataSocket.reset(); }
            } release{*this};
            succeeded = TransferFile(localFile, storeLine, storeReport, failureReported);
        }
        if (succeeded && OnSuccess) OnSuccess(cmdUpload);
    } catch (...) {
        if (failureReported || !OnFailure) throw;
        bool handled = false;
        OnFailure(handled, cmdUpload);
        if (!handled) throw;
    }
}

// Returns true when the server kept the file, false when OnFailure handled a refusal.
bool TNMFTP::TransferFile(const platform::FilePath& localFile, const std::string& storeLine,
                          const std::string& storeReport, bool& failureReported) {
    DiscardWaitingInput();
    // Opened once, before the server hears of a transfer: a file missing now fails here, and one
    // moved or locked after the STOR is still the file opened.
    platform::FileStream file(localFile, platform::FileStream::Mode::Read);
    const std::int64_t size = file.Size();
    DataSocket = std::make_unique<psock::TPowersock>();
    DataSocket->TimeOut = TimeOut;
    if (OnPacketSent) DataSocket->OnPacketSent = OnPacketSent;

    const bool ready = Passive ? OpenPassiveDataConnection(failureReported) : AnnounceDataPort(failureReported);
    if (!ready) return false;

    ReportStatus(1, storeReport);
    const std::string storeReply = Command(storeLine);
    if (IsFailure(ReplyNumber, 301, 599)) {
        ReportRefusedUpload(storeReply, true, failureReported);
        return false;
    }

    if (!Passive) AcceptFromControlPeer();
    FailIfControlInterrupted();
    if (OnTransactionStart) OnTransactionStart(this);
    try {
        DataSocket->SendFile(file, size);
    } catch (const platform::EReadError&) {
        // A graceful close would tell the server the file is complete. The server answers the
        // broken transfer: that reply is read here, so the next command reads its own.
        DataSocket->ResetConnection();
        ReadTransferReply();
        throw;
    } catch (...) {
        DataSocket->ResetConnection();
        throw;
    }
    if (OnTransactionStop) OnTransactionStop(this);
    DataSocket->Disconnect();  // the end of the file for the server

    const std::string finalReply = ReadTransferReply();
    // A negative final reply means the server did not keep the file.
    if (IsFailure(ReplyCode(finalReply), 400, 599)) {
        ReportRefusedUpload(finalReply, false, failureReported);
        return false;
    }
    return true;
}

// The server's verdict on the transfer, after the data connection has ended.
std::string TNMFTP::ReadTransferReply() {
    FailIfControlInterrupted();
    const std::string reply = ReadLn();
    if (!reply.empty()) ReportStatus(1, reply);
    ReadReplyContinuation(reply);
    if (reply.empty()) throw ClosedWithoutReply();
    return reply;
}

// A refusal of the transfer: the data socket is done with, so it goes before OnFailure runs
// (a handler may start the upload again), and the failure is not offered to OnFailure twice.
void TNMFTP::ReportRefusedUpload(const std::string& reply, bool unsupportedToo, bool& failureReported) {
    DataSocket.reset();
    failureReported = true;
    ReportNegativeReply(reply, cmdUpload, unsupportedToo);
}

// On IPv6 "EPSV": "PASV" has no IPv6 form, and "EPSV" is what gets through a translator to an
// IPv4 server. IPv4 keeps "PASV".
bool TNMFTP::OpenPassiveDataConnection(bool& failureReported) {
    const bool extended = RemoteAddress.IsIPv6();
    const std::string reply = Command(extended ? "EPSV" : "PASV");
    // Only a 227 (229 to "EPSV") carries a port; any other reply is the server's word on the
    // transfer.
    if (ReplyNumber != (extended ? 229 : 227)) {
        ReportRefusedUpload(reply, false, failureReported);
        return false;
    }
    // The address in a "PASV" reply is ignored and an "EPSV" reply names none: the data goes to
    // the address the control connection reached, not to the host name looked up again (a name
    // of several servers may answer with another one).
    DataSocket->Host = platform::net::AddressText(RemoteAddress);
    DataSocket->Port = extended ? ExtendedPassivePort(reply) : PassivePort(reply);
    DataSocket->Connect();
    return true;
}

// The data port listens on the control connection's family: "EPRT" on IPv6, "PORT" on IPv4.
bool TNMFTP::AnnounceDataPort(bool& failureReported) {
    DataSocket->Port = 0;
    const platform::net::SocketAddress local = LocalAddress();
    DataSocket->Listen(true, local.family);
    const std::string reply =
        Command(local.IsIPv6() ? "EPRT " + ExtendedPortArgument(local, DataSocket->LocalAddress().port)
                               : "PORT " + GetLocalAddress() + DataSocket->GetPortString());
    if (IsFailure(ReplyNumber, 301, 599)) {
        ReportRefusedUpload(reply, false, failureReported);
        return false;
    }
    return true;
}

// Takes the server's data connection; one from any other address is closed unheard. A server
// may connect as soon as it gets "PORT": that connection is already waiting here. Each wait in
// Accept is bounded by TimeOut.
void TNMFTP::AcceptFromControlPeer() {
    const platform::net::SocketAddress server = RemoteAddress;
    const platform::net::Socket listening = DataSocket->SocketHandle;
    for (;;) {
        const platform::net::Socket accepted = DataSocket->Accept();
        if (platform::net::SameHost(DataSocket->RemoteAddress, server)) {
            DataSocket->SocketHandle = accepted;
            platform::net::CloseSocket(listening);
            return;
        }
        platform::net::CloseSocket(accepted);
        DataSocket->AsyncDone = false;
    }
}

// The transfer never reports success for a file it did not send or saw no verdict on.
void TNMFTP::FailIfControlInterrupted() {
    if (!Canceled && !TimedOut) return;
    const char* what = TimedOut ? "Transfer Timed Out" : "Transfer Canceled";
    Canceled = false;
    throw psock::EAbortError(what);
}

}  // namespace nmftp
