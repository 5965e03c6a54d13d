#include "net/socket/psock.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/cp932.h"
#include "platform/file_stream.h"
#include "platform/memory.h"

namespace psock {

namespace net = platform::net;
using platform::ERangeError;
using platform::Message;

namespace {

int winsockUsers = 0;

constexpr std::uint8_t LevelProtocol = 1;
constexpr std::uint8_t LevelSocketAction = 4;
constexpr std::uint8_t LevelTrace = 8;

// The receive buffer holds a line of up to IOBufferSize bytes and room for one more receive, so
// it is compacted at most once per MaxPiece bytes read.
constexpr int InboxSize = IOBufferSize + MaxPiece;

// A capture this large is worth backing with large pages.
constexpr std::size_t LargeCapture = std::size_t{4} << 20;

struct ErrorText {
    int code;
    const char* text;
};
constexpr ErrorText ErrorTable[] = {
#define WINSOCK_ERROR(code, name, text) {code, text},
#include "platform/winsock_error_list.h"
#undef WINSOCK_ERROR
};

std::string VersionText(std::uint16_t version) {
    return std::to_string(version & 0xFF) + "." + std::to_string(version >> 8);
}

// Runs a clean-up when the scope ends, also by an exception.
template <class Action>
class Finally {
public:
    explicit Finally(Action action) : action_(std::move(action)) {}
    ~Finally() { action_(); }
    Finally(const Finally&) = delete;
    Finally& operator=(const Finally&) = delete;

private:
    Action action_;
};

}  // namespace

int WinsockUsers() { return winsockUsers; }

// ---------------------------------------------------------------------------------------------
// TThreadTimer

TThreadTimer::TThreadTimer() {
    timerWindow_ = platform::AllocateWindow([this](const Message& message) { TimerWindowProc(message); });
}

TThreadTimer::~TThreadTimer() {
    enabled_ = false;
    platform::KillTimer(timerWindow_, 1);
    platform::DeallocateWindow(timerWindow_);
}

void TThreadTimer::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    ResetTimer();
}

void TThreadTimer::SetInterval(std::uint32_t value) {
    if (value == interval_) return;
    interval_ = value;
    ResetTimer();
}

void TThreadTimer::SetOnTimer(TNotifyEvent handler) {
    onTimer_ = std::move(handler);
    ResetTimer();
}

void TThreadTimer::ResetTimer() {
    platform::KillTimer(timerWindow_, 1);
    if (interval_ != 0 && enabled_ && onTimer_) {
        if (!platform::SetTimer(timerWindow_, 1, interval_)) throw Exception("No Timer");
    }
}

void TThreadTimer::TimerWindowProc(const Message& message) {
    if (message.message != platform::WM_TIMER) return;
    try {
        Tick();
    } catch (const std::exception& error) {
        platform::HandleException(error);
    }
}

void TThreadTimer::Tick() {
    if (onTimer_) onTimer_(this);
}

// ---------------------------------------------------------------------------------------------
// Construction and destruction

TPowersock::TPowersock() : inbox_(InboxSize) {
    ReportStatus(LevelTrace, "Create");
    SocketWindow = platform::AllocateWindow([this](const Message& message) {
        if (message.message >= WM_SOCKET) HandleSocketMessage(message);
        if (message.message == platform::WM_TIMER && message.wParam == NextAddressTimer) nextAddressDue_ = true;
    });
    Proxy.clear();
    Timer = std::make_unique<TThreadTimer>();
    Timer->SetEnabled(false);
    Timer->SetOnTimer([this](TObject* sender) { TimerTriggered(sender); });
    TimeOut = 0;
    ReportLevel = 1;
    WSAInfo.clear();
    Canceled = false;
    Destroying = false;
    Connected = false;
    try {
        InitializeWinsock();
    } catch (...) {
        platform::DeallocateWindow(SocketWindow);
        throw;
    }
}

TPowersock::~TPowersock() {
    try {
        ReportStatus(LevelTrace, "Destroy");
        TPowersock::Abort();
        Cancel();
    } catch (...) {
    }
    Timer.reset();
    platform::DeallocateWindow(SocketWindow);
    SocketWindow = 0;
    Destroying = true;
    try {
        RequestCloseSocket();
    } catch (...) {
    }
    if (--winsockUsers == 0) net::Cleanup();
}

void TPowersock::InitializeWinsock() {
    ReportStatus(LevelTrace, "Initializing Winsock");
    bool failed = false;
    try {
        if (++winsockUsers == 1) {
            net::Startup(0x0101, WSAData);
            WSAInfo = {"Version= " + VersionText(WSAData.version),
                       "High Version= " + VersionText(WSAData.highVersion),
                       "Description= " + WSAData.description,
                       "System= " + WSAData.systemStatus,
                       "Max Sockets= " + std::to_string(WSAData.maxSockets),
                       "Max Udp pack size= " + std::to_string(WSAData.maxUdpDatagram)};
        }
        // No zero linger here: a close would reset the connection and throw away what is still
        // on its way to the peer, the end of an uploaded file among it.
        SocketHandle = net::CreateStreamSocket();
        if (SocketHandle == net::InvalidSocket) {
            failed = true;
            std::string message;
            CheckSocketError(net::WSAEWOULDBLOCK, message);
        }
        if (!failed) net::AsyncSelect(SocketHandle, SocketWindow, WM_SOCKET, SocketEventMask);
    } catch (...) {
        failed = true;
    }
    if (failed) {
        if (--winsockUsers == 0) net::Cleanup();
        throw ESockError("Initializaton of windows sockets failed");
    }
}

void TPowersock::OpenSocket(net::AddressFamily family) {
    SocketHandle = net::CreateStreamSocket(family);
    if (SocketHandle == net::InvalidSocket) throw ERangeError();
    socketFamily_ = family;
    net::AsyncSelect(SocketHandle, SocketWindow, WM_SOCKET, SocketEventMask);
    connectTried_ = false;
    DropInbox();
}

// ---------------------------------------------------------------------------------------------
// Connection

void TPowersock::WaitFor(const std::function<bool()>& done) { platform::PumpUntil(done); }

// One round of a read loop: when nothing could be done, block until the next message (unless
// the loop is about to end anyway); then pass over the queue.
void TPowersock::Pump(bool block) {
    if (block && !Canceled) platform::WaitMessage();
    lastPass_ = std::chrono::steady_clock::now();
    platform::ProcessMessages();
}

// A read loop that keeps finding data passes over the queue at regular short intervals, so a
// peer that never stops sending cannot keep the time-out, Cancel or any timer from it.
void TPowersock::PassOverQueueIfDue() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPass_ < QueuePassInterval) return;
    lastPass_ = now;
    platform::ProcessMessages();
}

void TPowersock::ResolveHost() {
    ReportStatus(LevelTrace, "Resolve Host");
    const std::string name = (Proxy.empty() ? Host : Proxy).c_str();  // as NUL-terminated text
    RemoteAddresses.clear();
    if (const auto literal = net::ParseAddress(name)) {
        if (!net::IsUnspecified(*literal)) RemoteAddresses.push_back(*literal);
        return;
    }
    TimerOn();
    AsyncDone = false;
    lookupAddresses_.reset();
    lookupTask_ = net::AsyncLookUpHost(SocketWindow, WM_HOSTLOOKUP, name);
    {
        Finally timerOff([this] { TimerOff(); });
        WaitFor([this] { return AsyncDone || TimedOut || Canceled; });
    }
    if (TimedOut) throw ESockError("Host Lookup Timed Out");
    if (Canceled) throw ESockError("Host Lookup Canceled");
    if (!Succeeded || !lookupAddresses_) throw ESockError("Host Lookup Failed");
    for (const net::SocketAddress& address : *lookupAddresses_)
        if (!net::IsUnspecified(address)) RemoteAddresses.push_back(address);
    if (!RemoteAddresses.empty()) RemoteAddress = RemoteAddresses.front();
    if (OnHostResolved) OnHostResolved(this);
}

void TPowersock::Connect() {
    ReportStatus(LevelTrace, "Connecting");
    Canceled = false;
    closeError_ = 0;
    if (Connected) throw ESockError("Already connected");
    for (int retries = 0;; ++retries) {
        try {
            ResolveHost();
        } catch (const ESockError& error) {
            const std::string message = error.Message();
            if (message == "Host Lookup Timed Out" || message == "Host Lookup Canceled") throw;
        }
        if (!RemoteAddresses.empty()) break;
        if (retries > 0 || !OnInvalidHost) throw ESockError("Null Remote Address");
        bool handled = false;
        OnInvalidHost(handled);
        if (!handled) throw ESockError("Null Remote Address");
    }
    const auto port = static_cast<std::uint16_t>((Proxy.empty() ? Port : ProxyPort) & 0xFFFF);
    AsyncDone = false;
    Succeeded = true;
    bool connected = false;
    TimerOn();
    {
        Finally timerOff([this] { TimerOff(); });
        for (std::size_t next = 0; next < RemoteAddresses.size() && !connected && !TimedOut && !Canceled; ++next) {
            RemoteAddress = RemoteAddresses[next];
            RemoteAddress.port = port;
            connected = TryConnect(next + 1 < RemoteAddresses.size());
        }
    }
    if (connected && !TimedOut && !Canceled) return;
    if (OnConnectionFailed) OnConnectionFailed(this);
    const std::string where = net::AddressAndPortText(RemoteAddress);
    if (TimedOut) throw ESockError("Connection Timed out: " + where);
    if (Canceled) throw ESockError("Connection Canceled");
    std::string reason;
    LookupErrorMessage(static_cast<std::uint16_t>(connectError_), reason);
    throw ESockError("Connection Failed: " + where + (reason.empty() ? "" : " (" + reason + ")"));
}

// One address's try; true once connected. While another address waits, a try that has not
// connected within NextAddressDelayMs gives way to it: a family that is broken somewhere on the
// way costs that much, not the whole time-out. A try that fails is reported with the protocol's
// lines, so a log of them shows why the next address was taken.
bool TPowersock::TryConnect(bool anotherWaits) {
    const std::string where = net::AddressAndPortText(RemoteAddress);
    ReportStatus(LevelSocketAction, "Connecting to " + where);
    // A socket whose connect failed or was abandoned cannot try again: take a fresh one.
    try {
        if (connectTried_ || socketFamily_ != RemoteAddress.family) {
            net::CloseSocket(SocketHandle);
            connectTried_ = true;
            OpenSocket(RemoteAddress.family);
        }
    } catch (const Exception&) {
        if (!anotherWaits) throw;
        ReportStatus(LevelProtocol, "No socket for " + where);  // that family is off on this system
        return false;
    }
    connectTried_ = true;
    connectNotified_ = false;
    connectError_ = 0;
    nextAddressDue_ = false;
    Succeeded = true;
    if (net::Connect(SocketHandle, RemoteAddress) == net::SocketError && net::LastError() != net::WSAEWOULDBLOCK) {
        // Refused on the spot (Winsock says so of a family with no route): the next address.
        std::string message;
        if (!anotherWaits) CheckSocketError(net::WSAEWOULDBLOCK, message);
        connectError_ = net::LastError();
        connectNotified_ = true;
    }
    if (anotherWaits && !connectNotified_) platform::SetTimer(SocketWindow, NextAddressTimer, NextAddressDelayMs);
    // The connect notification ends the wait even when a close that came in the same pass has
    // cleared Connected again: the connection was made, and the peer has left already.
    WaitFor([this] {
        return Connected || TimedOut || Canceled || !Succeeded || connectNotified_ || nextAddressDue_;
    });
    platform::KillTimer(SocketWindow, NextAddressTimer);
    if (TimedOut || Canceled) return false;
    if ((Connected || connectNotified_) && Succeeded && connectError_ == 0) return true;
    if (connectNotified_) {
        std::string reason;
        LookupErrorMessage(static_cast<std::uint16_t>(connectError_), reason);
        ReportStatus(LevelProtocol, where + " failed: " + reason);
    } else {
        ReportStatus(LevelProtocol, where + " not connected within " + std::to_string(NextAddressDelayMs) + " ms");
    }
    return false;
}

void TPowersock::CheckConnection() {
    ReportStatus(LevelTrace, "Checking Connection");
    for (int tries = 0; !Connected; ++tries) {
        if (tries > 0 || !OnConnectionRequired) throw Exception("Not Connected");
        bool handled = false;
        OnConnectionRequired(handled);
        if (!handled) throw Exception("Not Connected");
    }
}

void TPowersock::Disconnect() {
    ReportStatus(LevelTrace, "Disconnecting");
    RequestCloseSocket();
}

void TPowersock::RequestCloseSocket() {
    ReportStatus(LevelSocketAction, "Request Close Socket");
    Connected = false;
    closeError_ = 0;
    if (SocketHandle == net::InvalidSocket) return;
    if (net::CloseSocket(SocketHandle) == net::SocketError) {
        std::string message;
        CheckSocketError(net::WSAEWOULDBLOCK, message);
        return;
    }
    SocketHandle = net::InvalidSocket;
    if (!Destroying && OnDisconnect) OnDisconnect(this);
    if (!Destroying) OpenSocket();
}

void TPowersock::ResetConnection() {
    if (SocketHandle != net::InvalidSocket) net::ResetOnClose(SocketHandle);
    RequestCloseSocket();
}

void TPowersock::Cancel() {
    ReportStatus(LevelTrace, "Canceling");
    Canceled = true;
}

void TPowersock::Abort() {
    ReportStatus(LevelTrace, "Abort");
    Cancel();
}

// ---------------------------------------------------------------------------------------------
// Notifications

void TPowersock::HandleSocketMessage(const Message& message) {
    const std::uint16_t event = platform::LoWord(message.lParam);
    const bool isLookup = message.message == WM_HOSTLOOKUP && event != net::FD_ACCEPT;
    // Only the lookup under way counts: a late answer to an abandoned one must not end a wait.
    if (isLookup && message.wParam != lookupTask_) return;
    if (message.message == WM_SOCKET && message.wParam != SocketHandle) return;
    Succeeded = platform::HiWord(message.lParam) == 0;
    try {
        if (message.message == WM_SOCKET) {
            switch (event) {
                case net::FD_READ:
                    try {
                        if (OnReadReady) OnReadReady(this);
                    } catch (...) {
                    }
                    break;
                case net::FD_WRITE:
                    writable_ = true;
                    break;
                case net::FD_ACCEPT:
                    Connected = true;
                    if (OnAccept) OnAccept(this);
                    break;
                case net::FD_CONNECT:
                    connectNotified_ = true;
                    connectError_ = platform::HiWord(message.lParam);
                    if (Succeeded) {
                        Connected = true;
                        if (OnConnect) OnConnect(this);
                    }
                    break;
                case net::FD_CLOSE:
                    if (!DataAvailable()) {
                        RequestCloseSocket();
                        closeError_ = platform::HiWord(message.lParam);  // for the reader, see below
                    }
                    break;
                default:
                    break;
            }
        } else if (message.message == WM_HOSTLOOKUP) {
            AsyncDone = true;
            if (event == net::FD_ACCEPT) Connected = true;
            else lookupAddresses_ = message.hostAddresses;
        }
    } catch (...) {
    }
}

bool TPowersock::DataAvailable() {
    ReportStatus(LevelTrace, "Data Available");
    if (Buffered() > 0) return true;
    char byte;
    const int saved = net::LastError();
    const bool available = net::Receive(SocketHandle, &byte, 1, true) >= 1;
    net::SetLastError(saved);
    return available;
}

// ---------------------------------------------------------------------------------------------
// Time-out

void TPowersock::TimerOn() {
    ReportStatus(LevelTrace, "Timer On");
    TimedOut = false;
    if (TimeOut < 0) throw ERangeError();
    Timer->SetInterval(static_cast<std::uint32_t>(TimeOut));
    Timer->SetEnabled(true);
}

void TPowersock::TimerOff() {
    ReportStatus(LevelTrace, "Timer Off");
    Timer->SetEnabled(false);
}

void TPowersock::TimerTriggered(TObject* /*Sender*/) {
    ReportStatus(LevelTrace, "Timer Triggered");
    TimerOff();
    TimedOut = true;
    AsyncDone = true;
    Abort();
}

// ---------------------------------------------------------------------------------------------
// Status and errors

void TPowersock::ReportStatus(std::uint8_t level, const std::string& text) {
    if (level > ReportLevel) return;
    LastStatus = text;
    if (Destroying || !OnStatus) return;
    try {
        OnStatus(this, LastStatus);
    } catch (...) {
    }
}

void TPowersock::CheckSocketError(std::uint16_t tolerated, std::string& message) {
    LastErrorNo = net::LastError();
    if (LastErrorNo != tolerated && LastErrorNo > 10000) {
        std::string text;
        LookupErrorMessage(static_cast<std::uint16_t>(LastErrorNo), text);
        if (OnError) OnError(this, static_cast<std::uint16_t>(LastErrorNo), text);
        throw ESockError(text);
    }
    message.clear();
}

void TPowersock::LookupErrorMessage(std::uint16_t code, std::string& message) {
    ReportStatus(LevelTrace, "Looking Up Error Message" + message);
    message.clear();
    if (code == 0) return;
    const auto* found = std::find_if(std::begin(ErrorTable), std::end(ErrorTable),
                                     [code](const ErrorText& entry) { return entry.code == code; });
    if (found != std::end(ErrorTable)) message = std::to_string(code) + ":" + found->text;
    else message = "Unknown Error No. " + std::to_string(code);
}

// ---------------------------------------------------------------------------------------------
// Data I/O

void TPowersock::RaiseIfCanceled(const char* message) {
    if (!Canceled) return;
    Canceled = false;
    throw EAbortError(message);
}

// After a receive failed. The close notification of a connection that was reset replaces the
// socket, whose receives then fail with 10057, the end of the data for a reader: the reader
// meets the reset instead.
void TPowersock::RaiseIfClosedByError() {
    if (closeError_ == 0 || net::LastError() != net::WSAENOTCONN) return;
    net::SetLastError(closeError_);
    closeError_ = 0;
    std::string message;
    CheckSocketError(net::WSAEWOULDBLOCK, message);
}

// Sends every byte of data unless cancelled. A full socket buffer is waited out through the
// message queue, so the time-out and Cancel reach a send to a peer that has stopped reading.
// Each round's result goes to afterSend (bytes sent, or 0 for nothing).
void TPowersock::SendAll(const char* data, int length, bool processMessages,
                         const std::function<void(int)>& afterSend) {
    int remaining = length;
    do {
        const int sent = net::Send(SocketHandle, data + (length - remaining), remaining);
        if (sent == 0) break;
        if (sent > 0) {
            remaining -= sent;
            if (afterSend) afterSend(sent);
            if (processMessages) platform::ProcessMessages();
            continue;
        }
        std::string message;
        CheckSocketError(net::WSAEWOULDBLOCK, message);
        WaitUntilWritable();
    } while (remaining > 0 && !Canceled);
}

// A peer that is reading frees room within moments: that short wait stays on this thread. A
// peer that has stopped is waited for through the message queue, where the time-out and Cancel
// reach the wait and no time is spent meanwhile.
void TPowersock::WaitUntilWritable() {
    if (net::WaitWritable(SocketHandle, BriefWaitMs)) {
        PassOverQueueIfDue();
        return;
    }
    writable_ = false;
    net::NotifyWhenWritable(SocketHandle);
    WaitFor([this] { return writable_ || Canceled; });
}

// The same for a reader, after a receive found nothing: the read notification that receive armed
// still comes, as on Winsock, and finds the data taken.
void TPowersock::WaitForData() {
    if (!Canceled && net::WaitReadable(SocketHandle, BriefWaitMs)) {
        PassOverQueueIfDue();
        return;
    }
    Pump(true);
}

void TPowersock::SendBuffer(const char* buffer, std::uint16_t length) {
    ReportStatus(LevelSocketAction, "Sending Buffer");
    TimerOn();
    Finally timerOff([this] { TimerOff(); });
    if (!Canceled) {
        int count = length;
        if (count == 0) {
            count = static_cast<int>(::strnlen(buffer, MaxPiece));
            if (count == MaxPiece) throw ERangeError();
        }
        SendAll(buffer, count, false, nullptr);
    }
    RaiseIfCanceled("Socket send aborted");
}

void TPowersock::Write(const std::string& text) {
    ReportStatus(LevelTrace, "Write");
    const std::size_t count = std::min<std::size_t>(text.size(), MaxPiece);
    std::memcpy(IOBuffer.data(), text.data(), count);
    IOBuffer[count] = '\0';
    SendBuffer(IOBuffer.data(), 0);
}

void TPowersock::Writeln(const std::string& text) {
    ReportStatus(LevelTrace, "Writeln");
    Write(text + "\r\n");
}

// ---- The receive buffer

int TPowersock::FillInbox(int limit) {
    if (inboxStart_ > 0 && InboxSize - inboxEnd_ < MaxPiece) {  // move the unread part to the front
        const int unread = Buffered();
        std::memmove(inbox_.data(), inbox_.data() + inboxStart_, static_cast<std::size_t>(unread));
        inboxSearched_ -= inboxStart_;
        inboxStart_ = 0;
        inboxEnd_ = unread;
    }
    const int space = std::min(InboxSize - inboxEnd_, limit);
    const int got = net::Receive(SocketHandle, inbox_.data() + inboxEnd_, space, false);
    if (got > 0) inboxEnd_ += got;
    return got;
}

int TPowersock::FindLineEnd() {
    const int searchEnd = std::min(inboxEnd_, inboxStart_ + IOBufferSize);
    const int from = std::max(inboxSearched_, inboxStart_);
    const void* found = std::memchr(inbox_.data() + from, '\n', static_cast<std::size_t>(std::max(searchEnd - from, 0)));
    if (found == nullptr) {
        inboxSearched_ = searchEnd;
        return -1;
    }
    return static_cast<int>(static_cast<const char*>(found) - inbox_.data());
}

std::string TPowersock::TakeFromInbox(int count) {
    std::string taken(inbox_.data() + inboxStart_, static_cast<std::size_t>(count));
    SkipInbox(count);
    return taken;
}

void TPowersock::SkipInbox(int count) {
    inboxStart_ += count;
    if (inboxStart_ == inboxEnd_) DropInbox();
}

void TPowersock::DropInbox() {
    inboxStart_ = 0;
    inboxEnd_ = 0;
    inboxSearched_ = 0;
}

// ---- Reading

std::string TPowersock::Read(std::uint16_t count) {
    ReportStatus(LevelTrace, "Read( " + std::to_string(count) + " )");
    int wanted = count;
    if (wanted == 0) {
        // Whatever is waiting, as long as it fits one piece.
        if (Buffered() < MaxPiece && FillInbox(MaxPiece - Buffered()) < 0) {
            RaiseIfClosedByError();
            std::string message;
            CheckSocketError(net::WSAEWOULDBLOCK, message);
        }
        wanted = Buffered();
        if (wanted >= MaxPiece) throw ERangeError();
        PassOverQueueIfDue();
    } else {
        do {
            if (Buffered() >= wanted) {
                PassOverQueueIfDue();
                break;
            }
            const int got = FillInbox(MaxPiece);
            if (got == 0) {
                if (Buffered() == 0) return {};
                wanted = Buffered();  // no more will come: what is there is the answer
                break;
            }
            if (got > 0) {
                PassOverQueueIfDue();
                continue;
            }
            RaiseIfClosedByError();
            std::string message;
            CheckSocketError(net::WSAEWOULDBLOCK, message);
            WaitForData();
        } while (!Canceled);
    }
    RaiseIfCanceled("Socket send aborted");
    if (wanted == 0) return {};
    return TakeFromInbox(std::min(wanted, Buffered()));
}

// Each received byte is copied out of the socket once and searched once.
std::string TPowersock::ReadLn() {
    ReportStatus(LevelTrace, "ReadLn");
    LastLineCutShort = false;
    // When an enclosing operation's countdown runs (a reply of many lines), it goes on.
    const bool armsTimer = !Timer->Enabled();
    if (armsTimer) TimerOn();
    Finally timerOff([this, armsTimer] {
        if (armsTimer) TimerOff();
    });
    int lineEnd = -1;
    do {
        lineEnd = FindLineEnd();
        if (lineEnd >= 0) {
            PassOverQueueIfDue();
            break;
        }
        if (Buffered() >= IOBufferSize) throw ESockError("Socket readln line too long");
        const int got = FillInbox(MaxPiece);
        if (got == 0) {  // the peer closed before the line end: the part is dropped
            LastLineCutShort = Buffered() > 0;
            DropInbox();
            return {};
        }
        if (got > 0) {
            PassOverQueueIfDue();
            continue;
        }
        RaiseIfClosedByError();
        LastErrorNo = net::LastError();
        if (LastErrorNo == net::WSAENOTCONN) break;
        std::string message;
        CheckSocketError(net::WSAEWOULDBLOCK, message);
        WaitForData();
    } while (!Canceled);
    RaiseIfCanceled("Socket readln aborted");
    if (lineEnd < 0) return {};
    return TakeFromInbox(lineEnd + 1 - inboxStart_);
}

std::string TPowersock::Transaction(const std::string& command) {
    ReportStatus(LevelTrace, "Transaction");
    ReplyNumber = 0;
    Writeln(command);
    LastReply = ReadLn();
    if (!LastReply.empty()) {
        ReportStatus(LevelProtocol, LastReply);
        std::size_t digits = 0;
        while (digits < LastReply.size() && digits < 10 && LastReply[digits] >= '0' && LastReply[digits] <= '9')
            ++digits;
        if (digits > 0) {
            long long value = std::stoll(LastReply.substr(0, digits));
            if (value > 2147483647LL) value = 0;
            if (value > 32767) throw ERangeError();
            ReplyNumber = static_cast<std::int16_t>(value);
        }
    }
    return LastReply;
}

void TPowersock::SendFile(const std::string& fileName) { SendFile(platform::FilePath::FromCp932(fileName)); }

void TPowersock::SendFile(const platform::FilePath& fileName) {
    platform::FileStream file(fileName, platform::FileStream::Mode::Read);
    SendFile(file, file.Size());
}

void TPowersock::SendFile(platform::FileStream& file, std::int64_t size) {
    ReportStatus(LevelTrace, "SendFile");
    const auto packetSent = [this](int sent) {
        BytesSent += sent;
        if (OnPacketSent) OnPacketSent(this);
    };
    do {
        if (!Canceled) {
            const std::size_t got = file.Read(IOBuffer.data(), MaxPiece);
            if (got == 0 && file.Position() < size)
                throw platform::EReadError("Read error on file \"" + file.Cp932Name() + "\"");
            SendAll(IOBuffer.data(), static_cast<int>(got), true, packetSent);
        }
    } while (file.Position() < size && !Canceled);
    RaiseIfCanceled("Socket send aborted");
}

// Takes what the peer sends, piece by piece, until it closes; each piece goes to store.
// Returns when the peer closes or the connection is gone; cancelling ends the loop too.
void TPowersock::Capture(const std::function<bool()>& wantMore, const std::function<void(int)>& store) {
    while (!Canceled && wantMore()) {
        int got;
        if (Buffered() > 0) {  // what ReadLn received after its line comes first
            got = std::min(Buffered(), MaxPiece);
            std::memcpy(IOBuffer.data(), inbox_.data() + inboxStart_, static_cast<std::size_t>(got));
            SkipInbox(got);
        } else {
            got = net::Receive(SocketHandle, IOBuffer.data(), MaxPiece, false);
        }
        if (got == 0) break;
        if (got > 0) {
            store(got);
            BytesRecvd += got;
            if (OnPacketRecvd) OnPacketRecvd(this);
            TimerOn();
        } else {
            RaiseIfClosedByError();
            LastErrorNo = net::LastError();
            if (LastErrorNo == net::WSAENOTCONN) break;
            std::string message;
            CheckSocketError(net::WSAEWOULDBLOCK, message);
        }
        if (got < 0) WaitForData();
        else Pump(false);
    }
}

void TPowersock::CaptureFile(const std::string& fileName) {
    ReportStatus(LevelTrace, "CaptureFile");
    BytesRecvd = 0;
    TimerOn();
    Finally timerOff([this] { TimerOff(); });
    platform::FileStream file(fileName, platform::FileStream::Mode::Create);
    Capture([] { return true; },
            [&](int got) { file.Write(IOBuffer.data(), static_cast<std::size_t>(got)); });
    RaiseIfCanceled("Socket send aborted");
}

void TPowersock::CaptureString(std::string& text, std::int64_t size, std::int64_t announced) {
    ReportStatus(LevelTrace, "Capture String");
    text.clear();
    if (announced > 0) {
        text.reserve(static_cast<std::size_t>(std::min(announced, MaxCaptureReserve)));
        if (text.capacity() >= LargeCapture) platform::AdviseLargeFill(text.data(), text.capacity());
    }
    BytesRecvd = 0;
    TimerOn();
    Finally timerOff([this] { TimerOff(); });
    Capture([&] { return size == -1 || static_cast<std::int64_t>(text.size()) < size; },
            [&](int got) { text.append(IOBuffer.data(), static_cast<std::size_t>(got)); });
    RaiseIfCanceled("Socket capture aborted");
}

void TPowersock::ClearInput() {
    ReportStatus(LevelTrace, "Clearing Input");
    // One piece of what waits is discarded: the buffered part first, then from the socket.
    const int dropped = std::min(Buffered(), MaxPiece);
    SkipInbox(dropped);
    if (dropped == MaxPiece) return;
    FillInbox(MaxPiece - dropped);
    DropInbox();
}

// ---------------------------------------------------------------------------------------------
// Listening data socket

void TPowersock::Listen(bool WaitForAccept, net::AddressFamily family) {
    ReportStatus(LevelTrace, "Listening");
    if (Port < 0 || Port > 65535) throw ERangeError();
    if (family != socketFamily_) {
        net::CloseSocket(SocketHandle);
        OpenSocket(family);
    }
    RemoteAddress = net::AnyAddress(family, static_cast<std::uint16_t>(Port));
    AsyncDone = false;
    std::string message;
    if (net::Bind(SocketHandle, RemoteAddress) == net::SocketError)
        CheckSocketError(net::WSAEWOULDBLOCK, message);
    net::AsyncSelect(SocketHandle, SocketWindow, WaitForAccept ? WM_HOSTLOOKUP : WM_SOCKET, net::FD_ACCEPT);
    if (net::Listen(SocketHandle, 1) == net::SocketError) CheckSocketError(net::WSAEWOULDBLOCK, message);
}

net::Socket TPowersock::Accept() {
    ReportStatus(LevelSocketAction, "Accepting");
    TimerOn();
    {
        Finally timerOff([this] { TimerOff(); });
        WaitFor([this] { return AsyncDone || Canceled; });
    }
    if (Canceled) throw ESockError("Accepting Canceled");
    if (!Succeeded) throw ESockError("Error creating Data Connection");
    net::SocketAddress peer;
    const net::Socket accepted = net::Accept(SocketHandle, &peer);
    if (accepted == net::InvalidSocket) {
        std::string message;
        CheckSocketError(net::WSAEWOULDBLOCK, message);
        throw ESockError("Error creating Data Connection");
    }
    net::AsyncSelect(accepted, SocketWindow, WM_SOCKET, SocketEventMask);
    RemoteAddress = peer;
    if (Canceled) {
        net::CloseSocket(accepted);
        RaiseIfCanceled("Socket send aborted");
    }
    return accepted;
}

net::SocketAddress TPowersock::LocalAddress() {
    net::SocketAddress local;
    net::GetSockName(SocketHandle, local);
    return local;
}

std::string TPowersock::GetLocalAddress() {
    std::string text = net::AddressText(LocalAddress());
    int dots = 0;
    for (char& c : text) {
        if (c == '.' && dots < 3) {
            c = ',';
            ++dots;
        }
    }
    return text;
}

std::string TPowersock::GetPortString() {
    const net::SocketAddress local = LocalAddress();
    return "," + std::to_string(local.port >> 8) + "," + std::to_string(local.port & 0xFF);
}

// ---------------------------------------------------------------------------------------------
// Unit helpers

std::string NthWord(const std::string& text, char delimiter, int n) {
    std::string word;
    if (n <= 0) return word;
    int delimiters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (platform::IsLeadByte(c) && i + 1 < text.size()) {
            if (delimiters == n - 1) word.append(text, i, 2);
            ++i;
            continue;
        }
        if (c == delimiter) {
            if (++delimiters == n) break;
        } else if (delimiters == n - 1) {
            word += c;
        }
    }
    return word;
}

int NthPos(const std::string& text, char ch, int n) {
    int found = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (platform::IsLeadByte(text[i]) && i + 1 < text.size()) {
            ++i;
            continue;
        }
        if (text[i] == ch && ++found == n) return static_cast<int>(i) + 1;
    }
    return static_cast<int>(text.size()) + 1;
}

}  // namespace psock
