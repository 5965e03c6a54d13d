// Winsock itself: WSAAsyncSelect posts socket events to the hidden windows, and error codes are
// WSAGetLastError's. A host lookup runs getaddrinfo on a worker thread of its own, which posts
// the completion to the window through the message queue.
//
// Each selected socket has a registration with a message number of its own. Winsock posts that
// number; the window procedure turns it back into the caller's message number, after checking
// that the registration still stands. Closing a socket ends its registration, so events it
// posted before the close are dropped, even when the next socket gets the same handle.
#include "platform/sockets.h"

#include "platform/win32/queue_internals.h"

#include <ws2tcpip.h>

#include "platform/system_address.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>
#include <unordered_map>
#include <vector>

namespace platform::net {
namespace {

thread_local int lastError = 0;

// Taken at the failing call: later system calls on the thread overwrite the system's copy.
int Fail() {
    lastError = ::WSAGetLastError();
    return SocketError;
}

SOCKET Native(Socket socket) { return static_cast<SOCKET>(socket); }

struct Registration {
    Socket socket = InvalidSocket;
    HWND window = nullptr;
    UINT message = 0;         // the caller's message number
    UINT nativeMessage = 0;   // the number Winsock posts
    std::uint16_t mask = 0;
    std::uint64_t source = 0;
    bool writeWanted = false;  // one FD_WRITE asked for by NotifyWhenWritable
};

// GUI thread only, as every call of this interface that touches them.
struct SocketTables {
    std::unordered_map<Socket, Registration> registrations;
    std::unordered_map<UINT, Socket> byMessage;
    UINT nextMessage = platform::win32::FirstSocketMessage;
    int startups = 0;
};

SocketTables& Tables() {
    static SocketTables tables;
    return tables;
}

UINT FreeSocketMessage() {
    SocketTables& t = Tables();
    for (;;) {
        const UINT candidate = t.nextMessage;
        t.nextMessage = candidate == platform::win32::LastSocketMessage ? platform::win32::FirstSocketMessage
                                                                       : candidate + 1;
        if (!t.byMessage.contains(candidate)) return candidate;
    }
}

Registration* Find(Socket socket) {
    auto found = Tables().registrations.find(socket);
    return found == Tables().registrations.end() ? nullptr : &found->second;
}

int Select(const Registration& registration) {
    std::uint16_t mask = registration.mask;
    if (registration.writeWanted) mask |= FD_WRITE;
    const UINT message = mask == 0 ? 0 : registration.nativeMessage;
    if (::WSAAsyncSelect(Native(registration.socket), registration.window, message, mask) != 0) return Fail();
    return 0;
}

Socket Checked(SOCKET socket) {
    if (socket == INVALID_SOCKET) {
        Fail();
        return InvalidSocket;
    }
    if (socket >= InvalidSocket) {  // handles are 16 bits wide
        ::closesocket(socket);
        lastError = WSAEMFILE;
        return InvalidSocket;
    }
    return static_cast<Socket>(socket);
}


std::optional<Message> TranslateSelectEvent(HWND window, UINT nativeMessage, WPARAM socket, LPARAM lParam) {
    SocketTables& t = Tables();
    auto number = t.byMessage.find(nativeMessage);
    if (number == t.byMessage.end()) return std::nullopt;  // the socket is closed
    Registration& registration = t.registrations.at(number->second);
    // A socket accepted from a selected listener shares its selection until it gets its own.
    if (socket != Native(registration.socket) || window != registration.window) return std::nullopt;
    const std::uint16_t event = WSAGETSELECTEVENT(lParam);
    if (event == FD_WRITE) {
        if ((registration.mask & FD_WRITE) == 0 && !registration.writeWanted) return std::nullopt;
        registration.writeWanted = false;
    }
    return Message{platform::win32::HandleOf(window), registration.message, registration.socket,
                   MakeLParam(event, WSAGETSELECTERROR(lParam)), registration.source};
}

}  // namespace
}  // namespace platform::net

namespace platform::win32 {

std::optional<Message> TranslateSocketMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return net::TranslateSelectEvent(window, message, wParam, lParam);
}

}  // namespace platform::win32

namespace platform::net {

int ErrorFromErrno(int errnoValue) {
    switch (errnoValue) {
        case 0: return 0;
        case EINTR: return WSAEINTR;
        case EBADF: return WSAENOTSOCK;
        case EACCES: return WSAEACCES;
        case EFAULT: return WSAEFAULT;
        case EINVAL: return WSAEINVAL;
        case EMFILE: return WSAEMFILE;
        case EWOULDBLOCK: case EAGAIN: case EINPROGRESS: return WSAEWOULDBLOCK;
        case EALREADY: return WSAEALREADY;
        case ENOTSOCK: return WSAENOTSOCK;
        case EADDRINUSE: return WSAEADDRINUSE;
        case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
        case ENETUNREACH: return WSAENETUNREACH;
        case ECONNABORTED: return WSAECONNABORTED;
        case ECONNRESET: case EPIPE: return WSAECONNRESET;
        case ENOBUFS: case ENOMEM: return WSAENOBUFS;
        case EISCONN: return WSAEISCONN;
        case ENOTCONN: return WSAENOTCONN;
        case ETIMEDOUT: return WSAETIMEDOUT;
        case ECONNREFUSED: return WSAECONNREFUSED;
        case EHOSTUNREACH: return WSAEHOSTUNREACH;
        default: return WSAEINVAL;
    }
}

int LastError() { return lastError; }

void SetLastError(int code) {
    lastError = code;
    ::WSASetLastError(code);
}

int Startup(std::uint16_t version, StartupInfo& info) {
    WSADATA data{};
    const int result = ::WSAStartup(version, &data);
    if (result != 0) return result;
    ++Tables().startups;
    info.version = data.wVersion;
    info.highVersion = data.wHighVersion;
    info.description = data.szDescription;
    info.systemStatus = data.szSystemStatus;
    info.maxSockets = data.iMaxSockets;
    info.maxUdpDatagram = data.iMaxUdpDg;
    return 0;
}

int Cleanup() {
    if (::WSACleanup() != 0) return Fail();
    --Tables().startups;
    return 0;
}

Socket CreateStreamSocket(AddressFamily family) {
    return Checked(::socket(family == AddressFamily::IPv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP));
}

int Connect(Socket socket, const SocketAddress& peer) {
    const SystemAddress address = ToSystem(peer);
    if (::connect(Native(socket), address.Get(), address.length) != 0) return Fail();
    return 0;
}

int Send(Socket socket, const char* data, int length) {
    const int sent = ::send(Native(socket), data, length, 0);
    return sent == SOCKET_ERROR ? Fail() : sent;
}

int Receive(Socket socket, char* buffer, int length, bool peek) {
    const int got = ::recv(Native(socket), buffer, length, peek ? MSG_PEEK : 0);
    if (got == SOCKET_ERROR) return Fail();
    // Wine can hand a reset to recv as the plain end of the data, keeping its error for the
    // close event and SO_ERROR: the caller meets the reset, as Windows reports it.
    if (got == 0 && length > 0) {
        int error = 0;
        int size = sizeof error;
        if (::getsockopt(Native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 && error != 0) {
            SetLastError(error);
            return SocketError;
        }
    }
    return got;
}

int Bind(Socket socket, const SocketAddress& local) {
    const SystemAddress address = ToSystem(local);
    if (::bind(Native(socket), address.Get(), address.length) != 0) return Fail();
    return 0;
}

int Listen(Socket socket, int backlog) { return ::listen(Native(socket), backlog) != 0 ? Fail() : 0; }

Socket Accept(Socket socket, SocketAddress* peer) {
    SystemAddress address;
    const Socket accepted = Checked(::accept(Native(socket), address.Get(), &address.length));
    if (accepted != InvalidSocket && peer != nullptr) *peer = FromSystem(address.Get());
    return accepted;
}

int GetSockName(Socket socket, SocketAddress& local) {
    SystemAddress address;
    if (::getsockname(Native(socket), address.Get(), &address.length) != 0) return Fail();
    local = FromSystem(address.Get());
    return 0;
}

int GetPeerName(Socket socket, SocketAddress& peer) {
    SystemAddress address;
    if (::getpeername(Native(socket), address.Get(), &address.length) != 0) return Fail();
    peer = FromSystem(address.Get());
    return 0;
}

int ResetOnClose(Socket socket) {
    const linger zero{1, 0};
    if (::setsockopt(Native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&zero), sizeof zero) != 0)
        return Fail();
    return 0;
}

int CloseSocket(Socket socket) {
    const int result = ::closesocket(Native(socket)) != 0 ? Fail() : 0;
    SocketTables& t = Tables();
    auto found = t.registrations.find(socket);
    if (found == t.registrations.end()) return result;
    const Registration registration = found->second;
    t.registrations.erase(found);
    t.byMessage.erase(registration.nativeMessage);
    // Nothing more comes from the socket; what came before must not reach the next socket that
    // gets the same handle, nor the next registration that gets the same number.
    MSG stale;
    while (::PeekMessageW(&stale, registration.window, registration.nativeMessage, registration.nativeMessage,
                          PM_REMOVE | PM_NOYIELD)) {
    }
    return result;
}

int AsyncSelect(Socket socket, WindowHandle window, std::uint32_t message, std::uint16_t mask) {
    SocketTables& t = Tables();
    Registration& registration = t.registrations[socket];
    if (registration.nativeMessage == 0) {
        registration.socket = socket;
        registration.nativeMessage = FreeSocketMessage();
        registration.source = NewMessageSource();
        t.byMessage[registration.nativeMessage] = socket;
    }
    registration.window = platform::win32::WindowOf(window);
    registration.message = message;
    registration.mask = mask;
    registration.writeWanted = false;
    return Select(registration);
}

int NotifyWhenWritable(Socket socket) {
    Registration* registration = Find(socket);
    if (registration == nullptr) {
        lastError = WSAEINVAL;
        return SocketError;
    }
    registration->writeWanted = true;
    return Select(*registration);
}

namespace {

// A failed connect shows in the exception set, a reset or close in the read set.
bool WaitReady(Socket socket, bool forWriting, int milliseconds) {
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(Native(socket), &ready);
    FD_SET(Native(socket), &failed);
    timeval wait{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return ::select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &wait) > 0;
}

}  // namespace

bool WaitWritable(Socket socket, int milliseconds) { return WaitReady(socket, true, milliseconds); }
bool WaitReadable(Socket socket, int milliseconds) { return WaitReady(socket, false, milliseconds); }

namespace {

// getaddrinfo's answer: its error is a Winsock code (WSAHOST_NOT_FOUND, WSATRY_AGAIN ...).
int LookUp(const std::string& name, std::vector<SocketAddress>& addresses) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const int error = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (error != 0) return error;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET || entry->ai_family == AF_INET6) addresses.push_back(FromSystem(entry->ai_addr));
    }
    ::freeaddrinfo(found);
    return addresses.empty() ? WSANO_DATA : 0;
}

}  // namespace

std::uintptr_t AsyncLookUpHost(WindowHandle window, std::uint32_t message, const std::string& name) {
    static std::atomic<std::uintptr_t> nextTask{1};
    const std::uintptr_t task = nextTask++;
    // The queue drops the completion when the window has gone meanwhile.
    std::thread([window, message, task, name] {
        auto addresses = std::make_shared<std::vector<SocketAddress>>();
        const int error = name.empty() ? WSAHOST_NOT_FOUND : LookUp(name, *addresses);
        Message done{window, message, task, MakeLParam(0, static_cast<std::uint16_t>(error)), 0};
        if (error == 0) done.hostAddresses = std::move(addresses);
        PostMessage(done);
    }).detach();
    return task;
}

}  // namespace platform::net
