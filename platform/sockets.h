#pragma once
// The socket calls the network components make, in Winsock's shape: 16-bit handles, a thread's
// last error as a Winsock code, and socket events and host lookups delivered as messages to a
// window of the message queue.

#include <cstdint>
#include <string>

#include "platform/message_queue.h"
#include "platform/socket_address.h"

namespace platform::net {

enum WinsockError : int {
#define WINSOCK_ERROR(code, name, text) name = code,
#include "platform/winsock_error_list.h"
#undef WINSOCK_ERROR
};

using Socket = std::uint16_t;
constexpr Socket InvalidSocket = 65535;
constexpr int SocketError = -1;

// Socket events, as event codes in a socket message's low word and as a selection mask.
constexpr std::uint16_t FD_READ = 1;
constexpr std::uint16_t FD_WRITE = 2;
constexpr std::uint16_t FD_OOB = 4;
constexpr std::uint16_t FD_ACCEPT = 8;
constexpr std::uint16_t FD_CONNECT = 16;
constexpr std::uint16_t FD_CLOSE = 32;

struct StartupInfo {
    std::uint16_t version = 0;      // low byte major, high byte minor
    std::uint16_t highVersion = 0;
    std::string description;
    std::string systemStatus;
    std::uint16_t maxSockets = 0;
    std::uint16_t maxUdpDatagram = 0;
};

// Start-up and clean-up of the socket subsystem; counted, so every Startup needs a Cleanup.
int Startup(std::uint16_t version, StartupInfo& info);
int Cleanup();

// The Winsock code of the calling thread's last failed call (0 after none).
int LastError();
void SetLastError(int code);
// Maps an errno value to its Winsock code.
int ErrorFromErrno(int errnoValue);

// Each call returns SocketError (or InvalidSocket) on failure and sets LastError().
Socket CreateStreamSocket(AddressFamily family = AddressFamily::IPv4);
int Connect(Socket socket, const SocketAddress& peer);  // non-blocking: WSAEWOULDBLOCK while pending
int Send(Socket socket, const char* data, int length);
// A receive on a connection that was reset (or otherwise lost) fails with that error, 10054 for a
// reset, and so does every later one: the end of a reset connection is never a clean close.
int Receive(Socket socket, char* buffer, int length, bool peek);
int Bind(Socket socket, const SocketAddress& local);
int Listen(Socket socket, int backlog);
Socket Accept(Socket socket, SocketAddress* peer);
int GetSockName(Socket socket, SocketAddress& local);
int GetPeerName(Socket socket, SocketAddress& peer);
// Returns without waiting for the socket's events to stop; none of them is dispatched after it.
int CloseSocket(Socket socket);
// Makes the socket's close reset the connection (a zero linger) instead of ending it: data not
// yet sent is dropped, and the peer learns that what it got stopped short.
int ResetOnClose(Socket socket);

// Asks for the events of mask as messages to window (wParam = socket, lParam = event and error)
// and makes the socket non-blocking. A new request replaces the old one; mask 0 stops them.
// Like Winsock: each event is posted once and armed again by the call that consumes it (a
// receive for read and close, an accept for accept). The close event carries the error that ended
// the connection (10054 for a reset), 0 for the peer's orderly close.
int AsyncSelect(Socket socket, WindowHandle window, std::uint32_t message, std::uint16_t mask);
// Posts FD_WRITE once, when the socket can take more data (after a send that would block).
int NotifyWhenWritable(Socket socket);
// Wait on the calling thread, at most milliseconds, until the socket can take more data, or has
// data, an end or a failure to read (the next send or receive tells which). Nothing is dispatched
// meanwhile, so callers keep them short: they spare a peer that answers within moments the trip
// through the message queue.
bool WaitWritable(Socket socket, int milliseconds);
bool WaitReadable(Socket socket, int milliseconds);

// Looks the name up away from the GUI thread (getaddrinfo for either family); the completion
// message carries the task handle in wParam, the error code in lParam's high word and every
// address found, in the system's order of preference, in hostAddresses. Returns the task handle
// (never 0). A lookup is never cancelled: a completion for a window that is gone is dropped.
std::uintptr_t AsyncLookUpHost(WindowHandle window, std::uint32_t message, const std::string& name);

}  // namespace platform::net
