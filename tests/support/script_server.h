#pragma once
// A scripted loopback TCP server for exact dialogues that real servers will not produce (a 421
// greeting, a 502 to STOR, a stall, a reset). The test queues steps, calls Start(), drives the
// client on its own thread, then calls Finish() and checks what the server received:
//
//     ScriptServer server;
//     server.Accept().SendLine("220 ready").ExpectLine("USER zdq").SendLine("421 bye").Close();
//     server.Start();
//     ... connect the client to 127.0.0.1:server.port() and let it talk ...
//     EXPECT_THAT(server.Finish(), IsEmpty());
//     EXPECT_EQ(server.received(), "USER zdq\r\n");
//
// The steps run on the server's own thread. Every blocking step gives up after the step time-out
// (10 s unless told), so a broken client cannot hang a test; the first failing step (time-out,
// unexpected close, a line that differs) is recorded and ends the script, closing its
// connections. The destructor stops a script that still runs.
//
// Steps and Connection's actions are verbs (PascalCase); queries are lower case.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/asio.h"

namespace testsupport {

using Milliseconds = std::chrono::milliseconds;
constexpr Milliseconds DefaultStepTimeout{10'000};

// A failed step: a time-out, an unexpected close or reset, an unexpected line.
class ScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The event loop of a script's thread, shared by its connections, with the bound for every wait.
class ScriptIo {
public:
    explicit ScriptIo(Milliseconds stepTimeout);

    asio::io_context& context() { return context_; }
    Milliseconds stepTimeout() const { return stepTimeout_; }

    // Runs handlers until done is set. On the step time-out, or when Stop() was called, calls
    // cancel, lets the cancelled operation finish and throws ScriptError naming what.
    void Await(const bool& done, const std::function<void()>& cancel, const std::string& what);
    // Waits duration; throws ScriptError when Stop() is called meanwhile.
    void Sleep(Milliseconds duration);
    // Asks a running Await or Sleep to give up (any thread).
    void Stop() { stopRequested_ = true; }

private:
    asio::io_context context_;
    asio::executor_work_guard<asio::io_context::executor_type> keepRunning_;
    Milliseconds stepTimeout_;
    std::atomic<bool> stopRequested_{false};
};

// What the server read on its control connections.
struct Transcript {
    mutable std::mutex mutex;
    std::string received;             // every byte, in order
    std::vector<std::string> lines;   // lines read with ReadLine, without the line end
};

// One TCP connection of a script. Bytes read but not yet consumed stay buffered for the next
// read. Every call blocks at most the step time-out and throws ScriptError on failure.
class Connection {
public:
    Connection(ScriptIo& io, asio::ip::tcp::socket socket, Transcript* transcript);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void Send(std::string_view bytes);
    // One line up to LF, returned without its CR LF (or LF).
    std::string ReadLine();
    std::string ReadExactly(std::size_t count);
    // Everything up to the peer's graceful close; a reset is an error.
    std::string ReadAll();
    // Reads (and records) until the peer closes or resets the connection.
    void WaitForPeerClose();
    // Graceful: reads what already arrived (so the close does not turn into a reset), sends
    // FIN and closes.
    void Close();
    // Closes with RST (SO_LINGER 0); unsent data is dropped.
    void Reset();

    // A second connection, as for an FTP data channel in active mode.
    std::unique_ptr<Connection> ConnectTo(const std::string& host, std::uint16_t port);
    // A listener on 127.0.0.1 and a free port, as for an FTP data channel in passive mode.
    std::unique_ptr<class Listener> Listen();

    bool isOpen() const { return socket_.is_open(); }
    std::uint16_t localPort() const;
    std::uint16_t peerPort() const;

private:
    enum class ReadResult { Data, Closed, Reset };
    // Reads one chunk into inbox_ (and the transcript).
    ReadResult ReadSome(const std::string& what);
    // Reads, without waiting, what has already arrived.
    void ReadAvailable();
    std::string Consume(std::size_t count);
    void Record(std::string_view bytes);

    ScriptIo& io_;
    asio::ip::tcp::socket socket_;
    Transcript* transcript_;  // null for data connections: they are not recorded
    std::string inbox_;
};

// Listens on 127.0.0.1 for connections of a script.
class Listener {
public:
    // Port 0 picks a free port.
    Listener(ScriptIo& io, std::uint16_t port = 0);
    std::unique_ptr<Connection> Accept(Transcript* transcript = nullptr);
    std::uint16_t port() const { return port_; }
    void Close();

private:
    ScriptIo& io_;
    asio::ip::tcp::acceptor acceptor_;
    std::uint16_t port_;
};

class ScriptServer {
public:
    using CustomStep = std::function<void(Connection&)>;

    explicit ScriptServer(Milliseconds stepTimeout = DefaultStepTimeout);
    ~ScriptServer();
    ScriptServer(const ScriptServer&) = delete;
    ScriptServer& operator=(const ScriptServer&) = delete;

    // Listening starts at construction, so a client may connect before Start().
    std::uint16_t port() const { return listener_->port(); }
    std::string host() const { return "127.0.0.1"; }

    // Steps; each but Accept acts on the connection the last Accept took. All bytes read on
    // accepted connections go to received(), the lines read to lines().
    ScriptServer& Accept();                          // takes the next client connection
    ScriptServer& Send(std::string bytes);           // exactly these bytes
    ScriptServer& SendLine(std::string_view text);   // text + CR LF
    ScriptServer& ExpectLine();                      // reads one line (up to LF)
    ScriptServer& ExpectLine(std::string expected);  // ... and fails unless it is expected
    ScriptServer& ReadAll();                         // reads until the peer's graceful close
    ScriptServer& Stall(Milliseconds duration);      // does nothing for a while
    // Sends piece again and again until the client stops taking it (hangs up) or limit bytes
    // have gone out, as a server that never ends its answer; with a pause, one drip at a time.
    ScriptServer& Flood(std::string piece, std::size_t limit, Milliseconds pause = Milliseconds{0});
    ScriptServer& Close();                           // graceful close (FIN)
    ScriptServer& Reset();                           // abortive close (RST)
    ScriptServer& WaitForPeerClose();                // reads until the peer closes or resets
    ScriptServer& Run(CustomStep step);              // anything else, e.g. a data connection

    void Start();
    // Waits (bounded) for the script to end and returns the failures; empty when it all ran.
    std::vector<std::string> Finish(Milliseconds limit = Milliseconds{30'000});

    // Valid after Finish().
    std::vector<std::string> errors() const;
    std::string received() const;
    std::vector<std::string> lines() const;
    std::size_t flooded() const { return flooded_; }  // the bytes the Flood steps sent

private:
    struct Step {
        std::string name;
        std::function<void()> action;
    };

    ScriptServer& Add(std::string name, std::function<void()> action);
    // The connection the last Accept took.
    Connection& current();
    void RunScript();
    void RecordError(std::string error);
    void CloseAll();

    ScriptIo io_;
    std::unique_ptr<Listener> listener_;
    std::vector<std::unique_ptr<Connection>> connections_;
    Connection* current_ = nullptr;
    std::vector<Step> steps_;
    Transcript transcript_;
    std::vector<std::string> errors_;  // under transcript_.mutex
    std::atomic<std::size_t> flooded_{0};
    std::thread thread_;
    std::mutex doneMutex_;
    std::condition_variable doneSignal_;
    bool done_ = false;
};

// The line and its CR LF over and over, some 16 KB of them: a piece for Flood.
std::string RepeatedLine(std::string_view line);
// A flood limit no reader gets through before its time-out: an optimised build reads 64 MiB of
// lines in a fraction of a second. The flood ends when the reader hangs up.
constexpr std::size_t EndlessFlood = std::size_t{1} << 31;  // 2 GiB

// FTP's "h1,h2,h3,h4,p1,p2" form of 127.0.0.1:port, for a scripted 227 reply.
std::string FtpHostPort(std::uint16_t port);
// The address and port of a PORT argument "h1,h2,h3,h4,p1,p2"; nullopt when malformed.
struct HostPort {
    std::string host;
    std::uint16_t port = 0;
};
std::optional<HostPort> ParseFtpHostPort(std::string_view argument);

}  // namespace testsupport
