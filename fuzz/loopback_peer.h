#pragma once
// A server on 127.0.0.1 that says what a fuzz input says, for the targets that drive the FTP and
// HTTP clients. It runs on a thread of its own; the client runs on the caller's.
//
// On each connection the script is asked what to send, first when the client connects and then
// after every line the client sends, and the answers go out in order. After an answer marked
// last the peer only reads, until the client closes. Alongside, a data listener takes any
// connection and reads it to the end, as an FTP server takes an upload; Drain() connects out to
// a port the client listens on and does the same.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

namespace fuzz {

struct PeerAnswer {
    std::string bytes;
    bool last = false;  // nothing more on this connection
};

class LoopbackPeer;

// Called on the peer's thread: with no line for a new connection, then with each line the
// client sent (without its CR LF).
using PeerScript = std::function<PeerAnswer(LoopbackPeer& peer, const std::optional<std::string>& line)>;

class LoopbackPeer {
public:
    explicit LoopbackPeer(PeerScript script);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    std::uint16_t port() const { return controlPort_; }
    std::uint16_t dataPort() const { return dataPort_; }

    // Connects to the port on 127.0.0.1 and reads it to the end; for the script's thread.
    void Drain(std::uint16_t port);

private:
    void AcceptControl();
    void AcceptData();

    PeerScript script_;
    asio::io_context context_;
    asio::ip::tcp::acceptor control_;
    asio::ip::tcp::acceptor data_;
    std::uint16_t controlPort_ = 0;
    std::uint16_t dataPort_ = 0;
    std::thread thread_;
};

}  // namespace fuzz
