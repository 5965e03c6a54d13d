#include "platform/sockets.h"
#include "platform/system_address.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <asio.hpp>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <memory>
#include <thread>
#include <unordered_map>
#include <unordered_set>

// Socket events are watched on a thread of their own, where Asio waits on every socket at once;
// what it sees is posted to the GUI thread's message queue. The socket calls themselves run on
// the calling (GUI) thread, on the plain descriptors. Asio objects are touched only by the
// watching thread.
//
// Read events are posted once and armed again by the next receive, with a threshold of one byte
// more than that receive saw waiting: a reader that peeked at part of a line is told when more
// arrives, and is not woken again and again for the bytes it has already seen. A receive asks
// the watching thread only when no wait is under way, and sets the threshold only when it
// changes, so a reader that keeps finding data costs one system call per receive.
//
// A reset (or another failure of the connection) is reported once by the kernel, to whichever
// thread reads first. It is kept for the socket, so every later receive fails with it, as
// Winsock's do, and the close event carries it.

namespace platform::net {
namespace {

thread_local int lastError = 0;

int Fail(int code) {
    lastError = code;
    return SocketError;
}
int FailWithErrno() { return Fail(ErrorFromErrno(errno)); }

int Fd(Socket socket) { return static_cast<int>(socket); }

bool IsListening(int fd) {
    int listening = 0;
    socklen_t length = sizeof listening;
    return ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) == 0 && listening != 0;
}

bool IsConnected(int fd) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    return ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0;
}

// What both threads know of a selected socket.
struct SharedState {
    std::mutex lock;                     // a receive and the failure it may meet, as one step; a post
    int failure = 0;                     // under lock: the Winsock code of a lost connection
    bool closed = false;                 // under lock: posts no more events
    WindowHandle window = 0;             // under lock: where events go, as last selected
    std::uint32_t message = 0;
    std::uint16_t mask = 0;
    std::uint64_t source = 0;
    std::atomic<bool> readArmed{false};  // a read wait is under way or asked for
};
using SharedPtr = std::shared_ptr<SharedState>;

// The watching thread's record of one selected socket.
struct Watch {
    Watch(asio::io_context& io, int descriptorFd) : descriptor(io, descriptorFd), fd(descriptorFd) {}
    asio::posix::stream_descriptor descriptor;
    int fd;
    SharedPtr shared;
    std::uint16_t mask = 0;        // as the watching thread last took it
    std::uint64_t generation = 0;  // a new selection makes earlier waits stale
    bool waiting = false;          // a read wait is under way
    bool listening = false;
    bool connected = false;
    bool closePosted = false;
    bool connecting = false;  // no read or close is told before the connect's own answer
};
using WatchPtr = std::shared_ptr<Watch>;

class Watcher {
public:
    Watcher() : guard_(asio::make_work_guard(io_)) {
        NewMessageSource();  // the queue must outlive this thread's last post
        thread_ = std::thread([this] { io_.run(); });
    }
    ~Watcher() {
        guard_.reset();
        io_.stop();
        thread_.join();
    }

    template <class Work>
    void Post(Work work) {
        asio::post(io_, std::move(work));
    }
    asio::io_context& Io() { return io_; }
    WatchPtr Find(int fd) {
        auto found = watches_.find(fd);
        return found == watches_.end() ? nullptr : found->second;
    }
    WatchPtr FindOrAdd(int fd) {
        WatchPtr& watch = watches_[fd];
        if (!watch) watch = std::make_shared<Watch>(io_, fd);
        return watch;
    }
    void Remove(int fd) { watches_.erase(fd); }

private:
    asio::io_context io_;
    asio::executor_work_guard<asio::io_context::executor_type> guard_;
    std::unordered_map<int, WatchPtr> watches_;  // watching thread only
    std::thread thread_;
};

Watcher& TheWatcher() {
    static Watcher watcher;
    return watcher;
}

// GUI-side record of a selected socket.
struct Selection {
    std::uint64_t source = 0;  // to purge its messages when it closes
    SharedPtr shared = std::make_shared<SharedState>();
    std::uint16_t mask = 0;
    int readThreshold = 1;     // the socket's SO_RCVLOWAT, as last set
    bool watched = false;      // the watching thread has been told of it
};

// Sockets made here and not yet connected, listening or closed: there is nothing to ask the
// kernel about them, nor anything to watch before they connect or listen.
std::unordered_set<Socket>& UnusedSockets() {
    static std::unordered_set<Socket> unused;
    return unused;
}

std::unordered_map<Socket, Selection>& SelectedSockets() {
    static std::unordered_map<Socket, Selection> selected;
    return selected;
}

Selection* FindSelection(Socket socket) {
    auto& selected = SelectedSockets();
    auto found = selected.find(socket);
    return found == selected.end() ? nullptr : &found->second;
}

// Failures that end a connection; the kernel reports each once.
bool IsConnectionLost(int error) {
    return error == ECONNRESET || error == ECONNABORTED || error == ETIMEDOUT || error == ENETRESET ||
           error == EHOSTUNREACH || error == ENETUNREACH;
}

// Under shared.lock.
void KeepFailure(SharedState& shared, int error) {
    if (IsConnectionLost(error) && shared.failure == 0) shared.failure = ErrorFromErrno(error);
}

// A receive that remembers a lost connection for the socket's later receives and its close
// event. Returns recv's result; errno is kept.
ssize_t ReceiveKeepingFailure(int fd, SharedState& shared, char* buffer, std::size_t length, int flags,
                              int& failure) {
    std::lock_guard lock(shared.lock);
    const ssize_t got = ::recv(fd, buffer, length, flags);
    const int error = errno;
    if (got < 0) KeepFailure(shared, error);
    failure = shared.failure;
    errno = error;
    return got;
}

// Posts a socket event, from either thread, unless the socket is closed or did not ask for it.
void PostEvent(SharedState& shared, int fd, std::uint16_t event, int error, bool always = false) {
    std::lock_guard lock(shared.lock);
    if (shared.closed || (!always && (shared.mask & event) == 0)) return;
    PostMessage(Message{shared.window, shared.message, static_cast<std::uintptr_t>(fd),
                        MakeLParam(event, static_cast<std::uint16_t>(error)), shared.source});
}

void PostEvent(const Watch& watch, std::uint16_t event, int error, bool always = false) {
    PostEvent(*watch.shared, watch.fd, event, error, always);
}

void ArmRead(const WatchPtr& watch);

void OnReadable(const WatchPtr& watch) {
    if (watch->listening) {
        PostEvent(*watch, FD_ACCEPT, 0);  // armed again by Accept
        return;
    }
    char byte;
    int failure = 0;
    const ssize_t n = ReceiveKeepingFailure(watch->fd, *watch->shared, &byte, 1, MSG_PEEK | MSG_DONTWAIT, failure);
    if (n > 0) {
        PostEvent(*watch, FD_READ, 0);  // armed again by the next receive
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        ArmRead(watch);
        return;
    }
    if (n < 0 && errno == ENOTCONN) return;
    watch->closePosted = true;
    PostEvent(*watch, FD_CLOSE, failure != 0 ? failure : (n == 0 ? 0 : ErrorFromErrno(errno)));
}

void ArmRead(const WatchPtr& watch) {
    const bool idle = !watch->listening && !watch->connected;  // an idle socket has nothing to tell
    if (watch->closePosted || watch->connecting || idle ||
        (watch->mask & (FD_READ | FD_CLOSE | FD_ACCEPT)) == 0) {
        watch->shared->readArmed = false;
        return;
    }
    watch->shared->readArmed = true;
    if (watch->waiting) return;  // the wait under way sees the new threshold
    watch->waiting = true;
    watch->descriptor.async_wait(asio::posix::descriptor_base::wait_read,
                                 [watch, generation = watch->generation](const asio::error_code& ec) {
                                     if (generation != watch->generation) return;
                                     watch->waiting = false;
                                     watch->shared->readArmed = false;
                                     if (!ec) OnReadable(watch);
                                 });
}

// The Winsock code of a finished connect, 0 when it connected. A connection that was made and
// reset before this was asked counts as made: the reset is kept for its receives.
int TakeConnectOutcome(int fd, SharedState& shared) {
    int error = 0;
    socklen_t length = sizeof error;
    std::lock_guard lock(shared.lock);
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
    if (error != ECONNRESET && error != EPIPE) return ErrorFromErrno(error);
    KeepFailure(shared, ECONNRESET);
    return 0;
}

void ArmConnect(const WatchPtr& watch) {
    watch->descriptor.async_wait(
        asio::posix::descriptor_base::wait_write,
        [watch, generation = watch->generation](const asio::error_code& ec) {
            if (ec || generation != watch->generation) return;
            const int outcome = TakeConnectOutcome(watch->fd, *watch->shared);
            watch->connecting = false;
            watch->connected = outcome == 0;
            PostEvent(*watch, FD_CONNECT, outcome);
            if (outcome == 0) ArmRead(watch);
        });
}

// Asks the watching thread to do something with a socket's watch, if it has one.
// Takes a new selection on the watching thread.
void ApplySelection(const WatchPtr& watch, const SharedPtr& shared, std::uint16_t mask, bool listening,
                    bool connected) {
    ++watch->generation;
    asio::error_code ec;
    watch->descriptor.cancel(ec);
    watch->waiting = false;
    watch->shared = shared;
    watch->mask = mask;
    watch->listening = listening;
    watch->connected = connected;
    ArmRead(watch);
}

// Asks the watching thread to do something with a socket's watch, if it is selected. The
// selection of an unused socket goes along with the first such request.
template <class Work>
void WithWatch(Socket socket, Work work) {
    Selection* selection = FindSelection(socket);
    if (selection == nullptr) return;
    if (!selection->watched) {
        selection->watched = true;
        TheWatcher().Post([fd = Fd(socket), shared = selection->shared, mask = selection->mask, work] {
            WatchPtr watch = TheWatcher().FindOrAdd(fd);
            ApplySelection(watch, shared, mask, false, false);
            work(watch);
        });
        return;
    }
    TheWatcher().Post([fd = Fd(socket), work] {
        if (WatchPtr watch = TheWatcher().Find(fd)) work(watch);
    });
}

// Errors a non-blocking connect reports later, through the connect event, on other systems.
bool IsConnectOutcome(int error) {
    return error == ECONNREFUSED || error == ENETUNREACH || error == EHOSTUNREACH ||
           error == ETIMEDOUT || error == ECONNRESET;
}


int HostErrorFrom(const asio::error_code& ec) {
    if (ec == asio::error::host_not_found_try_again) return WSATRY_AGAIN;
    if (ec == asio::error::no_recovery) return WSANO_RECOVERY;
    if (ec == asio::error::no_data) return WSANO_DATA;
    return WSAHOST_NOT_FOUND;
}

std::atomic<int> startupCount{0};

}  // namespace

int ErrorFromErrno(int errnoValue) {
    switch (errnoValue) {
        case 0: return 0;
        case EINTR: return WSAEINTR;
        case EBADF: return WSAENOTSOCK;
        case EACCES: case EPERM: return WSAEACCES;
        case EFAULT: return WSAEFAULT;
        case EINVAL: return WSAEINVAL;
        case EMFILE: case ENFILE: return WSAEMFILE;
        case EAGAIN: return WSAEWOULDBLOCK;
        case EINPROGRESS: return WSAEWOULDBLOCK;
        case EALREADY: return WSAEALREADY;
        case ENOTSOCK: return WSAENOTSOCK;
        case EDESTADDRREQ: return WSAEDESTADDRREQ;
        case EMSGSIZE: return WSAEMSGSIZE;
        case EPROTOTYPE: return WSAEPROTOTYPE;
        case ENOPROTOOPT: return WSAENOPROTOOPT;
        case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
        case ESOCKTNOSUPPORT: return WSAESOCKTNOSUPPORT;
        case EOPNOTSUPP: return WSAEOPNOTSUPP;
        case EPFNOSUPPORT: return WSAEPFNOSUPPORT;
        case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
        case EADDRINUSE: return WSAEADDRINUSE;
        case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
        case ENETDOWN: return WSAENETDOWN;
        case ENETUNREACH: return WSAENETUNREACH;
        case ENETRESET: return WSAENETRESET;
        case ECONNABORTED: return WSAECONNABORTED;
        case ECONNRESET: return WSAECONNRESET;
        case EPIPE: return WSAECONNRESET;  // the peer went away under a send
        case ENOBUFS: case ENOMEM: return WSAENOBUFS;
        case EISCONN: return WSAEISCONN;
        case ENOTCONN: return WSAENOTCONN;
        case ESHUTDOWN: return WSAESHUTDOWN;
        case ETOOMANYREFS: return WSAETOOMANYREFS;
        case ETIMEDOUT: return WSAETIMEDOUT;
        case ECONNREFUSED: return WSAECONNREFUSED;
        case ELOOP: return WSAELOOP;
        case ENAMETOOLONG: return WSAENAMETOOLONG;
        case EHOSTDOWN: return WSAEHOSTDOWN;
        case EHOSTUNREACH: return WSAEHOSTUNREACH;
        case ENOTEMPTY: return WSAENOTEMPTY;
        case EUSERS: return WSAEUSERS;
        case EDQUOT: return WSAEDQUOT;
        case ESTALE: return WSAESTALE;
        case EREMOTE: return WSAEREMOTE;
        default: return WSAEINVAL;
    }
}

int LastError() { return lastError; }
void SetLastError(int code) { lastError = code; }

int Startup(std::uint16_t /*version*/, StartupInfo& info) {
    TheWatcher();
    ++startupCount;
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    info.version = 0x0101;
    info.highVersion = 0x0202;
    info.description = "Milte Post sockets on Asio " + std::to_string(ASIO_VERSION / 100000) + "." +
                       std::to_string(ASIO_VERSION / 100 % 1000) + "." +
                       std::to_string(ASIO_VERSION % 100);
    info.systemStatus = "Running";
    info.maxSockets = static_cast<std::uint16_t>(std::min<rlim_t>(files.rlim_cur, 65535));
    info.maxUdpDatagram = 65467;
    return 0;
}

int Cleanup() {
    if (startupCount == 0) return Fail(WSANOTINITIALISED);
    --startupCount;
    return 0;
}

Socket CreateStreamSocket(AddressFamily family) {
    const int domain = family == AddressFamily::IPv6 ? AF_INET6 : AF_INET;
    const int fd = ::socket(domain, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        FailWithErrno();
        return InvalidSocket;
    }
    if (fd >= InvalidSocket) {  // handles are 16 bits wide
        ::close(fd);
        Fail(WSAEMFILE);
        return InvalidSocket;
    }
    UnusedSockets().insert(static_cast<Socket>(fd));
    return static_cast<Socket>(fd);
}

namespace {

// Answers a connect whose outcome is known already, from the calling thread. Nothing else of
// the socket can come before it: the watching thread waits on a socket only once it knows it
// connected, which it learns after this post.
void AnswerConnect(Socket socket, Selection& selection, int code) {
    PostEvent(*selection.shared, Fd(socket), FD_CONNECT, code);
    WithWatch(socket, [connected = code == 0](const WatchPtr& watch) {
        watch->connecting = false;
        watch->connected = connected;
        if (connected) ArmRead(watch);
    });
}

// The outcome of a connect under way when there is one already (on loopback the handshake is
// often through before connect returns); nullopt while it is pending.
std::optional<int> ConnectOutcomeNow(int fd, SharedState& shared) {
    pollfd entry{fd, POLLOUT, 0};
    if (::poll(&entry, 1, 0) != 1 || entry.revents == 0) return std::nullopt;
    return TakeConnectOutcome(fd, shared);
}

}  // namespace

int Connect(Socket socket, const SocketAddress& peer) {
    const SystemAddress address = ToSystem(peer);
    Selection* selection = FindSelection(socket);
    UnusedSockets().erase(socket);
    if (::connect(Fd(socket), address.Get(), address.length) == 0) {
        if (selection != nullptr) AnswerConnect(socket, *selection, 0);
        return 0;
    }
    const int error = errno;
    if (selection == nullptr) return Fail(ErrorFromErrno(error));
    if (error == EINPROGRESS) {
        if (const auto outcome = ConnectOutcomeNow(Fd(socket), *selection->shared)) {
            AnswerConnect(socket, *selection, *outcome);
        } else {
            WithWatch(socket, [](const WatchPtr& watch) {
                watch->connecting = true;
                ArmConnect(watch);
            });
        }
        return Fail(WSAEWOULDBLOCK);
    }
    if (IsConnectOutcome(error)) {
        AnswerConnect(socket, *selection, ErrorFromErrno(error));
        return Fail(WSAEWOULDBLOCK);
    }
    return Fail(ErrorFromErrno(error));
}

int Send(Socket socket, const char* data, int length) {
    const ssize_t sent = ::send(Fd(socket), data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
    if (sent >= 0) return static_cast<int>(sent);
    const int error = errno;
    if (Selection* selection = FindSelection(socket)) {  // the reset it met is the receives' too
        std::lock_guard lock(selection->shared->lock);
        KeepFailure(*selection->shared, error);
    }
    return Fail(ErrorFromErrno(error));
}

namespace {

// Asks the watching thread for a read wait, unless one is under way or asked for already.
void ArmReadAfterReceive(Socket socket, Selection& selection, int threshold) {
    if (threshold != selection.readThreshold) {
        ::setsockopt(Fd(socket), SOL_SOCKET, SO_RCVLOWAT, &threshold, sizeof threshold);
        selection.readThreshold = threshold;
    }
    if (selection.shared->readArmed.exchange(true)) return;
    WithWatch(socket, [](const WatchPtr& watch) { ArmRead(watch); });
}

}  // namespace

int Receive(Socket socket, char* buffer, int length, bool peek) {
    const int flags = peek ? MSG_PEEK : 0;
    Selection* selection = FindSelection(socket);
    if (selection == nullptr) {
        const ssize_t got = ::recv(Fd(socket), buffer, static_cast<std::size_t>(length), flags);
        if (got < 0) return FailWithErrno();
        return static_cast<int>(got);
    }
    int failure = 0;
    const ssize_t got = ReceiveKeepingFailure(Fd(socket), *selection->shared, buffer,
                                              static_cast<std::size_t>(length), flags, failure);
    const int error = errno;
    const int seen = (got > 0 && peek) ? static_cast<int>(got) : 0;
    ArmReadAfterReceive(socket, *selection, seen + 1);
    if (got == 0 && failure != 0) return Fail(failure);  // a reset is no end of data
    if (got < 0) return Fail(ErrorFromErrno(error));
    return static_cast<int>(got);
}

int Bind(Socket socket, const SocketAddress& local) {
    const SystemAddress address = ToSystem(local);
    if (::bind(Fd(socket), address.Get(), address.length) != 0)
        return FailWithErrno();
    return 0;
}

int Listen(Socket socket, int backlog) {
    if (::listen(Fd(socket), backlog) != 0) return FailWithErrno();
    UnusedSockets().erase(socket);
    WithWatch(socket, [](const WatchPtr& watch) {
        watch->listening = true;
        ArmRead(watch);
    });
    return 0;
}

Socket Accept(Socket socket, SocketAddress* peer) {
    SystemAddress address;
    const int fd = ::accept4(Fd(socket), address.Get(), &address.length, SOCK_CLOEXEC);
    const int error = errno;
    WithWatch(socket, [](const WatchPtr& watch) { ArmRead(watch); });
    if (fd < 0) {
        Fail(ErrorFromErrno(error));
        return InvalidSocket;
    }
    if (fd >= InvalidSocket) {
        ::close(fd);
        Fail(WSAEMFILE);
        return InvalidSocket;
    }
    if (peer != nullptr) *peer = FromSystem(address.Get());
    return static_cast<Socket>(fd);
}

int GetSockName(Socket socket, SocketAddress& local) {
    SystemAddress address;
    if (::getsockname(Fd(socket), address.Get(), &address.length) != 0) return FailWithErrno();
    local = FromSystem(address.Get());
    return 0;
}

int GetPeerName(Socket socket, SocketAddress& peer) {
    SystemAddress address;
    if (::getpeername(Fd(socket), address.Get(), &address.length) != 0) return FailWithErrno();
    peer = FromSystem(address.Get());
    return 0;
}

int ResetOnClose(Socket socket) {
    const linger zero{1, 0};
    if (::setsockopt(Fd(socket), SOL_SOCKET, SO_LINGER, &zero, sizeof zero) != 0) return FailWithErrno();
    return 0;
}

int CloseSocket(Socket socket) {
    UnusedSockets().erase(socket);
    auto& selected = SelectedSockets();
    auto found = selected.find(socket);
    if (found == selected.end() || !found->second.watched) {  // nothing was posted for it
        if (found != selected.end()) selected.erase(found);
        if (::close(Fd(socket)) != 0) return FailWithErrno();
        return 0;
    }
    const std::uint64_t source = found->second.source;
    {
        std::lock_guard lock(found->second.shared->lock);
        found->second.shared->closed = true;
        PurgeMessages(source);
    }
    selected.erase(found);
    // Nothing more of this socket reaches the queue; the watching thread closes the descriptor
    // without the caller waiting for it.
    TheWatcher().Post([fd = Fd(socket)] {
        WatchPtr watch = TheWatcher().Find(fd);
        if (!watch) {
            ::close(fd);
            return;
        }
        ++watch->generation;
        asio::error_code ignored;
        watch->descriptor.close(ignored);
        TheWatcher().Remove(fd);
    });
    return 0;
}

int AsyncSelect(Socket socket, WindowHandle window, std::uint32_t message, std::uint16_t mask) {
    const int fd = Fd(socket);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return FailWithErrno();
    Selection& selection = SelectedSockets()[socket];
    if (selection.source == 0) selection.source = NewMessageSource();
    {
        std::lock_guard lock(selection.shared->lock);
        selection.shared->window = window;
        selection.shared->message = message;
        selection.shared->mask = mask;
        selection.shared->source = selection.source;
    }
    selection.mask = mask;
    if (UnusedSockets().contains(socket) && !selection.watched) return 0;  // told when first used
    // Decided here, not on the watching thread: by the time that thread gets to it, a connect
    // made meanwhile may already be through, and its answer must come first.
    const bool listening = IsListening(fd);
    const bool connected = !listening && IsConnected(fd);
    selection.watched = true;
    TheWatcher().Post([fd, mask, shared = selection.shared, listening, connected] {
        ApplySelection(TheWatcher().FindOrAdd(fd), shared, mask, listening, connected);
    });
    return 0;
}

int NotifyWhenWritable(Socket socket) {
    if (!SelectedSockets().contains(socket)) return Fail(WSAEINVAL);
    WithWatch(socket, [](const WatchPtr& watch) {
        watch->descriptor.async_wait(asio::posix::descriptor_base::wait_write,
                                     [watch, generation = watch->generation](const asio::error_code& ec) {
                                         if (ec || generation != watch->generation) return;
                                         PostEvent(*watch, FD_WRITE, 0, true);
                                     });
    });
    return 0;
}

namespace {

bool WaitReady(Socket socket, short events, int milliseconds) {
    pollfd wanted{Fd(socket), events, 0};
    return ::poll(&wanted, 1, milliseconds) > 0;
}

}  // namespace

bool WaitWritable(Socket socket, int milliseconds) { return WaitReady(socket, POLLOUT, milliseconds); }
bool WaitReadable(Socket socket, int milliseconds) { return WaitReady(socket, POLLIN, milliseconds); }

std::uintptr_t AsyncLookUpHost(WindowHandle window, std::uint32_t message, const std::string& name) {
    static std::atomic<std::uintptr_t> nextTask{1};
    const std::uintptr_t task = nextTask++;
    auto complete = [window, message, task](int error, std::shared_ptr<std::vector<SocketAddress>> addresses) {
        Message done{window, message, task, MakeLParam(0, static_cast<std::uint16_t>(error)), 0};
        done.hostAddresses = std::move(addresses);
        PostMessage(done);
    };
    if (name.empty()) {
        complete(WSAHOST_NOT_FOUND, nullptr);
        return task;
    }
    TheWatcher().Post([name, complete] {
        auto resolver = std::make_shared<asio::ip::tcp::resolver>(TheWatcher().Io());
        // No flags: AI_ADDRCONFIG would hide the IPv6 addresses of a machine whose only IPv6
        // address is its loopback one.
        resolver->async_resolve(
            name, "", asio::ip::resolver_base::flags{},
            [resolver, complete](const asio::error_code& ec, asio::ip::tcp::resolver::results_type results) {
                auto addresses = std::make_shared<std::vector<SocketAddress>>();
                if (!ec) {
                    for (const auto& entry : results) addresses->push_back(FromSystem(entry.endpoint().data()));
                }
                if (ec || addresses->empty()) {
                    complete(ec ? HostErrorFrom(ec) : WSANO_DATA, nullptr);
                    return;
                }
                complete(0, std::move(addresses));
            });
    });
    return task;
}

}  // namespace platform::net
