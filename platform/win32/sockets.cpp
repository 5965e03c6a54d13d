// Winsock itself: WSAAsyncSelect posts socket events to the hidden windows, WSAAsyncGetHostByName
// completes lookups there, and error codes are WSAGetLastError's.
//
// Each selected socket has a registration with a message number of its own. Winsock posts that
// number; the window procedure turns it back into the caller's message number, after checking
// that the registration still stands. Closing a socket ends its registration, so events it
// posted before the close are dropped, even when the next socket gets the same handle.
#include "platform/sockets.h"

#include "platform/win32/queue_internals.h"

#include <cerrno>
#include <cstring>
#include <list>
#include <memory>
#include <unordered_map>

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

struct Lookup {
    HWND window = nullptr;
    UINT message = 0;
    std::unique_ptr<char[]> buffer;  // Winsock writes the host entry here
};

// GUI thread only, as every call of this interface that touches them.
struct SocketTables {
    std::unordered_map<Socket, Registration> registrations;
    std::unordered_map<UINT, Socket> byMessage;
    UINT nextMessage = platform::win32::FirstSocketMessage;
    std::unordered_map<WPARAM, Lookup> lookups;
    std::list<std::unique_ptr<char[]>> abandonedBuffers;  // Winsock may still write there
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

sockaddr_in ToSockaddr(const SocketAddress& address) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = ::htons(address.port);
    result.sin_addr.s_addr = address.address;
    return result;
}

SocketAddress FromSockaddr(const sockaddr_in& address) {
    return SocketAddress{address.sin_addr.s_addr, ::ntohs(address.sin_port)};
}

std::optional<Message> TranslateLookup(HWND window, WPARAM task, LPARAM lParam) {
    SocketTables& t = Tables();
    auto found = t.lookups.find(task);
    if (found == t.lookups.end() || found->second.window != window) return std::nullopt;
    const int error = WSAGETASYNCERROR(lParam);
    std::uint32_t address = 0;
    const auto* host = reinterpret_cast<const hostent*>(found->second.buffer.get());
    if (error == 0 && host->h_addrtype == AF_INET && host->h_addr_list[0] != nullptr)
        std::memcpy(&address, host->h_addr_list[0], sizeof address);
    Message message{platform::win32::HandleOf(window), found->second.message, task,
                    MakeLParam(0, static_cast<std::uint16_t>(error)), address, 0};
    t.lookups.erase(found);
    return message;
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
                   MakeLParam(event, WSAGETSELECTERROR(lParam)), 0, registration.source};
}

}  // namespace
}  // namespace platform::net

namespace platform::win32 {

std::optional<Message> TranslateSocketMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == LookupMessage) return net::TranslateLookup(window, wParam, lParam);
    return net::TranslateSelectEvent(window, message, wParam, lParam);
}

void ForgetLookupsOf(HWND window) {
    auto& t = net::Tables();
    for (auto entry = t.lookups.begin(); entry != t.lookups.end();) {
        if (entry->second.window != window) {
            ++entry;
            continue;
        }
        t.abandonedBuffers.push_back(std::move(entry->second.buffer));
        entry = t.lookups.erase(entry);
    }
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
    if (--Tables().startups == 0) Tables().abandonedBuffers.clear();  // no lookup runs any more
    return 0;
}

Socket CreateStreamSocket() { return Checked(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)); }

int Connect(Socket socket, const SocketAddress& peer) {
    const sockaddr_in address = ToSockaddr(peer);
    if (::connect(Native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return Fail();
    return 0;
}

int Send(Socket socket, const char* data, int length) {
    const int sent = ::send(Native(socket), data, length, 0);
    return sent == SOCKET_ERROR ? Fail() : sent;
}

int Receive(Socket socket, char* buffer, int length, bool peek) {
    const int got = ::recv(Native(socket), buffer, length, peek ? MSG_PEEK : 0);
    return got == SOCKET_ERROR ? Fail() : got;
}

int Bind(Socket socket, const SocketAddress& local) {
    const sockaddr_in address = ToSockaddr(local);
    if (::bind(Native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return Fail();
    return 0;
}

int Listen(Socket socket, int backlog) { return ::listen(Native(socket), backlog) != 0 ? Fail() : 0; }

Socket Accept(Socket socket, SocketAddress* peer) {
    sockaddr_in address{};
    int length = sizeof address;
    const Socket accepted = Checked(::accept(Native(socket), reinterpret_cast<sockaddr*>(&address), &length));
    if (accepted != InvalidSocket && peer != nullptr) *peer = FromSockaddr(address);
    return accepted;
}

int GetSockName(Socket socket, SocketAddress& local) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(Native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return Fail();
    local = FromSockaddr(address);
    return 0;
}

int GetPeerName(Socket socket, SocketAddress& peer) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getpeername(Native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return Fail();
    peer = FromSockaddr(address);
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

std::uintptr_t AsyncGetHostByName(WindowHandle window, std::uint32_t message, const std::string& name) {
    HWND target = platform::win32::WindowOf(window);
    Lookup lookup{target, message, std::make_unique<char[]>(MAXGETHOSTSTRUCT)};
    HANDLE task = nullptr;
    int error = WSAHOST_NOT_FOUND;  // an empty name names no host
    if (!name.empty()) {
        task = ::WSAAsyncGetHostByName(target, platform::win32::LookupMessage, name.c_str(),
                                       lookup.buffer.get(), MAXGETHOSTSTRUCT);
        error = ::WSAGetLastError();
    }
    if (task != nullptr) {
        const auto handle = reinterpret_cast<std::uintptr_t>(task);
        Tables().lookups[handle] = std::move(lookup);
        return handle;
    }
    // Refused at once: the answer still comes as a message, under a number no task has.
    const auto handle = reinterpret_cast<std::uintptr_t>(lookup.buffer.get());
    Tables().abandonedBuffers.push_back(std::move(lookup.buffer));
    PostMessage(Message{window, message, handle, MakeLParam(0, static_cast<std::uint16_t>(error)), 0, 0});
    return handle;
}

std::uint32_t InetAddr(const std::string& text) { return ::inet_addr(text.c_str()); }

std::string InetNtoa(std::uint32_t address) {
    in_addr value{};
    value.s_addr = address;
    return ::inet_ntoa(value);
}

}  // namespace platform::net
