#pragma once
// TPowersock: the socket component every network client derives from. One object owns one
// stream socket (of the family of the address it connects to or listens on), a hidden
// notification window, a time-out timer and a 65,537-byte I/O buffer.
// Every operation is synchronous for its caller and keeps the message queue moving while it
// waits, so notifications, the time-out and Cancel() reach it.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_path.h"
#include "platform/file_stream.h"
#include "platform/message_queue.h"
#include "platform/runtime.h"
#include "platform/sockets.h"

namespace psock {

using platform::Exception;
using platform::TNotifyEvent;
using platform::THandlerEvent;
using platform::TObject;

// A socket failure; its message is the error text.
class ESockError : public Exception {
public:
    using Exception::Exception;
};
// An operation stopped because it was cancelled (Cancel, Abort or the time-out).
class EAbortError : public ESockError {
public:
    using ESockError::ESockError;
};

using TOnStatus = std::function<void(TObject* Sender, const std::string& Status)>;
using TOnHostResolved = std::function<void(TObject* Sender)>;
using TOnErrorEvent = std::function<void(TObject* Sender, std::uint16_t Errno, const std::string& Errmsg)>;

// Private messages of the notification window.
constexpr std::uint32_t WM_SOCKET = platform::WM_USER + 101;      // 1125: socket events
constexpr std::uint32_t WM_HOSTLOOKUP = platform::WM_USER + 102;  // 1126: host lookup done
// A name's next address is tried when the one before has not connected within this long: the
// bound current clients use, so a broken family costs a quarter of a second.
constexpr std::uint32_t NextAddressDelayMs = 250;
// The notification window's timer for that bound.
constexpr std::uintptr_t NextAddressTimer = 2;
// Every event a component's socket asks for: read, out-of-band, accept, connect, close.
constexpr std::uint16_t SocketEventMask = 61;

constexpr int IOBufferSize = 65537;
constexpr int MaxPiece = 65536;  // largest single receive, send or file piece
// The longest wait between two passes over the message queue while a read loop keeps finding
// data: the time-out, Cancel and every timer still reach it.
constexpr std::chrono::milliseconds QueuePassInterval{10};
// How long a send or receive that found the socket full or empty waits on the spot before it
// waits through the message queue: no longer than a pass over the queue may be put off.
constexpr int BriefWaitMs = static_cast<int>(QueuePassInterval.count());
// The most CaptureString reserves ahead for a length the peer announced.
constexpr std::int64_t MaxCaptureReserve = std::int64_t{256} << 20;

// A periodic timer whose ticks arrive as messages on the GUI thread; no thread involved.
class TThreadTimer : public TObject {
public:
    TThreadTimer();
    ~TThreadTimer() override;

    bool Enabled() const { return enabled_; }
    std::uint32_t Interval() const { return interval_; }
    // Each writer restarts the countdown only when the value changes; SetOnTimer always does.
    void SetEnabled(bool value);
    void SetInterval(std::uint32_t value);
    void SetOnTimer(TNotifyEvent handler);

protected:
    virtual void Tick();

private:
    void ResetTimer();
    void TimerWindowProc(const platform::Message& message);

    std::uint32_t interval_ = 1000;
    platform::WindowHandle timerWindow_ = 0;
    TNotifyEvent onTimer_;
    bool enabled_ = true;
};

class TPowersock : public TObject {
public:
    TPowersock();
    ~TPowersock() override;

    // Published properties.
    std::string Host;
    int Port = 0;        // only the low 16 bits are used
    int TimeOut = 0;     // milliseconds; 0 = no time-out
    int ReportLevel = 1;
    TNotifyEvent OnDisconnect;
    TNotifyEvent OnConnect;
    THandlerEvent OnInvalidHost;
    TOnHostResolved OnHostResolved;
    TOnStatus OnStatus;
    TNotifyEvent OnConnectionFailed;

    // Published by the descendants that use them.
    std::string Proxy;
    int ProxyPort = 0;
    TOnErrorEvent OnError;
    THandlerEvent OnConnectionRequired;
    TNotifyEvent OnPacketRecvd;
    TNotifyEvent OnPacketSent;

    // Not published.
    TNotifyEvent OnReadReady;
    TNotifyEvent OnAccept;

    // Connection.
    virtual platform::net::Socket Accept();
    virtual void Connect();
    virtual void Disconnect();
    // Closes the connection with a reset: the peer cannot take what it got for the whole.
    void ResetConnection();
    virtual std::string Transaction(const std::string& command);
    virtual void Abort();
    void CheckConnection();
    void Cancel();

    // Data I/O.
    void SendBuffer(const char* buffer, std::uint16_t length);
    void Write(const std::string& text);
    void Writeln(const std::string& text);
    std::string Read(std::uint16_t count);
    std::string ReadLn();
    void SendFile(const std::string& fileName);  // a file named by CP932 text
    void SendFile(const platform::FilePath& fileName);
    // The first size bytes of a file already open; EReadError when it gives fewer.
    void SendFile(platform::FileStream& file, std::int64_t size);
    void CaptureFile(const std::string& fileName);
    // announced: the length the peer said it will send (-1 = unknown); room for it, up to
    // MaxCaptureReserve, is reserved before reading.
    void CaptureString(std::string& text, std::int64_t size, std::int64_t announced = -1);
    void ClearInput();
    bool DataAvailable();

    // Listening data socket.
    // Binds the wildcard address of the family (the control connection's, for active FTP).
    void Listen(bool WaitForAccept, platform::net::AddressFamily family = platform::net::AddressFamily::IPv4);
    platform::net::SocketAddress LocalAddress();
    std::string GetLocalAddress();
    std::string GetPortString();

    // Status, errors, time-out.
    void ReportStatus(std::uint8_t level, const std::string& text);
    void CheckSocketError(std::uint16_t tolerated, std::string& message);
    void LookupErrorMessage(std::uint16_t code, std::string& message);
    void TimerOn();
    void TimerOff();
    void TimerTriggered(TObject* Sender);
    void HandleSocketMessage(const platform::Message& message);

    // Fields, read and written directly by descendants and their users.
    std::array<char, IOBufferSize> IOBuffer{};
    std::vector<std::string> WSAInfo;
    std::int64_t BytesSent = 0;
    bool Canceled = false;
    bool Destroying = false;
    int LastErrorNo = 0;
    std::string LastStatus;
    std::unique_ptr<TThreadTimer> Timer;
    bool Succeeded = false;
    bool TimedOut = false;
    std::int64_t BytesRecvd = 0;
    bool AsyncDone = false;
    platform::net::StartupInfo WSAData;
    platform::net::SocketAddress RemoteAddress;  // the peer, or the address being tried
    std::vector<platform::net::SocketAddress> RemoteAddresses;  // every address of the host, in order
    std::string LastReply;
    bool LastLineCutShort = false;  // the last ReadLn met the peer's close inside a line
    std::int16_t ReplyNumber = 0;
    platform::net::Socket SocketHandle = platform::net::InvalidSocket;
    platform::WindowHandle SocketWindow = 0;
    bool Connected = false;

protected:
    void InitializeWinsock();
    void ResolveHost();
    void RequestCloseSocket();

private:
    void OpenSocket(platform::net::AddressFamily family = platform::net::AddressFamily::IPv4);
    bool TryConnect(bool anotherWaits);
    void WaitFor(const std::function<bool()>& done);
    void Pump(bool block);
    void SendAll(const char* data, int length, bool processMessages, const std::function<void(int)>& afterSend);
    void WaitUntilWritable();
    void WaitForData();
    void Capture(const std::function<bool()>& wantMore, const std::function<void(int)>& store);
    void RaiseIfCanceled(const char* message);
    void PassOverQueueIfDue();
    void RaiseIfClosedByError();

    // The receive buffer: bytes taken from the socket that no read has returned yet. ReadLn
    // takes what is waiting in large pieces and keeps what follows its line here; every read,
    // DataAvailable and the captures see these bytes first, as if they were still in the socket.
    int Buffered() const { return inboxEnd_ - inboxStart_; }
    // One receive into the free end of the buffer, of at most limit bytes: the socket's result.
    int FillInbox(int limit);
    // Index of the first LF within the first IOBufferSize buffered bytes; -1 when there is none.
    int FindLineEnd();
    std::string TakeFromInbox(int count);
    void SkipInbox(int count);
    void DropInbox();

    std::uintptr_t lookupTask_ = 0;          // the lookup whose completion counts
    std::shared_ptr<const std::vector<platform::net::SocketAddress>> lookupAddresses_;  // its answer
    platform::net::AddressFamily socketFamily_ = platform::net::AddressFamily::IPv4;
    bool connectTried_ = false;              // this socket has been asked to connect once
    int connectError_ = 0;                   // of the last connect notification
    bool nextAddressDue_ = false;            // the try under way may give way to the next address
    bool writable_ = false;                  // a full send buffer has room again
    bool connectNotified_ = false;           // the connect under way has been answered
    int closeError_ = 0;                     // of the close notification that replaced the socket
    std::vector<char> inbox_;                // the receive buffer, see Buffered()
    int inboxStart_ = 0;                     // first byte not yet read
    int inboxEnd_ = 0;                       // end of the bytes received
    int inboxSearched_ = 0;                  // no LF from inboxStart_ up to here
    std::chrono::steady_clock::time_point lastPass_;  // of the last pass over the queue
};

// Field n (from 1) of text split at single delimiter characters.
std::string NthWord(const std::string& text, char delimiter, int n);
// 1-based position of the n-th occurrence of ch in text; length + 1 when there are fewer.
int NthPos(const std::string& text, char ch, int n);

// Number of components that hold the socket subsystem started.
int WinsockUsers();

}  // namespace psock
