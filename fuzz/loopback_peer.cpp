#include "fuzz/loopback_peer.h"

#include <array>
#include <deque>

#include <asio/connect.hpp>
#include <asio/write.hpp>

namespace fuzz {
namespace {

using asio::ip::tcp;

const tcp::endpoint Loopback{asio::ip::make_address_v4("127.0.0.1"), 0};

// Reads a connection to its end and forgets what came.
class Sink : public std::enable_shared_from_this<Sink> {
public:
    explicit Sink(tcp::socket socket) : socket_(std::move(socket)) {}
    void Start() { Read(); }

private:
    void Read() {
        auto self = shared_from_this();
        socket_.async_read_some(asio::buffer(buffer_), [self](std::error_code error, std::size_t) {
            if (!error) self->Read();
        });
    }
    tcp::socket socket_;
    std::array<char, 65536> buffer_{};
};

// One control connection: answers in order, each after the line that asked for it.
class Conversation : public std::enable_shared_from_this<Conversation> {
public:
    Conversation(tcp::socket socket, LoopbackPeer& peer, const PeerScript& script)
        : socket_(std::move(socket)), peer_(peer), script_(script) {}

    void Start() {
        Answer(std::nullopt);
        Read();
    }

private:
    void Read() {
        auto self = shared_from_this();
        socket_.async_read_some(asio::buffer(buffer_), [self](std::error_code error, std::size_t n) {
            if (error) return;
            self->Take(std::string(self->buffer_.data(), n));
            self->Read();
        });
    }

    void Take(const std::string& bytes) {
        pending_ += bytes;
        for (std::size_t end; !finished_ && (end = pending_.find('\n')) != std::string::npos;) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            Answer(line);
        }
    }

    void Answer(const std::optional<std::string>& line) {
        if (finished_) return;
        PeerAnswer answer = script_(peer_, line);
        finished_ = answer.last;
        if (!answer.bytes.empty()) outbox_.push_back(std::move(answer.bytes));
        Flush();
    }

    // One write at a time, in order; after the last answer the sending side closes.
    void Flush() {
        if (writing_) return;
        if (outbox_.empty()) {
            std::error_code ignored;
            if (finished_) socket_.shutdown(tcp::socket::shutdown_send, ignored);
            return;
        }
        writing_ = true;
        auto self = shared_from_this();
        asio::async_write(socket_, asio::buffer(outbox_.front()), [self](std::error_code error, std::size_t) {
            self->writing_ = false;
            self->outbox_.pop_front();
            if (error) {
                self->outbox_.clear();
                self->finished_ = true;
                return;
            }
            self->Flush();
        });
    }

    tcp::socket socket_;
    LoopbackPeer& peer_;
    const PeerScript& script_;
    std::array<char, 4096> buffer_{};
    std::string pending_;
    std::deque<std::string> outbox_;
    bool writing_ = false;
    bool finished_ = false;
};

}  // namespace

LoopbackPeer::LoopbackPeer(PeerScript script)
    : script_(std::move(script)), control_(context_, Loopback), data_(context_, Loopback) {
    controlPort_ = control_.local_endpoint().port();
    dataPort_ = data_.local_endpoint().port();
    AcceptControl();
    AcceptData();
    thread_ = std::thread([this] { context_.run(); });
}

// Stopping drops every connection still open; the client is done with them by then.
LoopbackPeer::~LoopbackPeer() {
    context_.stop();
    thread_.join();
}

void LoopbackPeer::AcceptControl() {
    control_.async_accept([this](std::error_code error, tcp::socket socket) {
        if (error) return;
        std::make_shared<Conversation>(std::move(socket), *this, script_)->Start();
        AcceptControl();
    });
}

void LoopbackPeer::AcceptData() {
    data_.async_accept([this](std::error_code error, tcp::socket socket) {
        if (error) return;
        std::make_shared<Sink>(std::move(socket))->Start();
        AcceptData();
    });
}

void LoopbackPeer::Drain(std::uint16_t port) {
    tcp::socket socket(context_);
    std::error_code error;
    socket.connect({Loopback.address(), port}, error);
    if (!error) std::make_shared<Sink>(std::move(socket))->Start();
}

}  // namespace fuzz
