#include "tests/support/asio.h"
#include "tests/support/script_server.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;
// How often a wait looks at the stop request.
constexpr Milliseconds Slice{20};

// Bytes as a test failure message can show them: controls and bytes >= 0x80 as \xNN.
std::string Printable(std::string_view bytes) {
    std::string shown;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (byte < 0x20 || byte >= 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            shown += hex;
        } else {
            shown += c;
        }
    }
    return shown;
}

std::string StripLineEnd(std::string line) {
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

// ---- ScriptIo

ScriptIo::ScriptIo(Milliseconds stepTimeout)
    : keepRunning_(context_.get_executor()), stepTimeout_(stepTimeout) {}

void ScriptIo::Await(const bool& done, const std::function<void()>& cancel,
                     const std::string& what) {
    const auto deadline = Clock::now() + stepTimeout_;
    std::string failure;
    while (!done) {
        const auto now = Clock::now();
        if (stopRequested_) {
            failure = what + ": stopped before the script ended";
            break;
        }
        if (now >= deadline) {
            failure = what + ": nothing happened within " + std::to_string(stepTimeout_.count()) +
                      " ms";
            break;
        }
        context_.run_one_for(std::min<Clock::duration>(deadline - now, Slice));
    }
    if (failure.empty()) return;
    // The operation refers to its caller's locals: let it finish (cancelled) before leaving.
    cancel();
    while (!done) context_.run_one_for(Slice);
    throw ScriptError(failure);
}

void ScriptIo::Sleep(Milliseconds duration) {
    const auto end = Clock::now() + duration;
    while (Clock::now() < end) {
        if (stopRequested_) throw ScriptError("stopped before the script ended");
        std::this_thread::sleep_for(std::min<Clock::duration>(end - Clock::now(), Slice));
    }
}

// ---- Connection

Connection::Connection(ScriptIo& io, asio::ip::tcp::socket socket, Transcript* transcript)
    : io_(io), socket_(std::move(socket)), transcript_(transcript) {}

Connection::~Connection() {
    asio::error_code ignored;
    socket_.close(ignored);
}

void Connection::Send(std::string_view bytes) {
    bool done = false;
    asio::error_code error;
    asio::async_write(socket_, asio::buffer(bytes.data(), bytes.size()),
                      [&](const asio::error_code& e, std::size_t) {
                          error = e;
                          done = true;
                      });
    io_.Await(done, [this] { socket_.cancel(); }, "sending \"" + Printable(bytes) + "\"");
    if (error) throw ScriptError("sending \"" + Printable(bytes) + "\": " + error.message());
}

Connection::ReadResult Connection::ReadSome(const std::string& what) {
    std::array<char, 4096> chunk;
    bool done = false;
    asio::error_code error;
    std::size_t count = 0;
    socket_.async_read_some(asio::buffer(chunk), [&](const asio::error_code& e, std::size_t n) {
        error = e;
        count = n;
        done = true;
    });
    io_.Await(done, [this] { socket_.cancel(); }, what);
    Record(std::string_view(chunk.data(), count));
    inbox_.append(chunk.data(), count);
    if (!error) return ReadResult::Data;
    if (error == asio::error::eof) return ReadResult::Closed;
    if (error == asio::error::connection_reset) return ReadResult::Reset;
    throw ScriptError(what + ": " + error.message());
}

void Connection::ReadAvailable() {
    asio::error_code error;
    std::array<char, 4096> chunk;
    while (socket_.is_open() && socket_.available(error) > 0 && !error) {
        const std::size_t count = socket_.read_some(asio::buffer(chunk), error);
        Record(std::string_view(chunk.data(), count));
        inbox_.append(chunk.data(), count);
        if (error) break;
    }
}

void Connection::Record(std::string_view bytes) {
    if (transcript_ == nullptr || bytes.empty()) return;
    std::lock_guard lock(transcript_->mutex);
    transcript_->received.append(bytes);
}

std::string Connection::Consume(std::size_t count) {
    std::string taken = inbox_.substr(0, count);
    inbox_.erase(0, count);
    return taken;
}

std::string Connection::ReadLine() {
    std::size_t end;
    while ((end = inbox_.find('\n')) == std::string::npos) {
        const ReadResult result = ReadSome("waiting for a line");
        if (result != ReadResult::Data) {
            throw ScriptError(std::string("the peer ") +
                              (result == ReadResult::Reset ? "reset" : "closed") +
                              " the connection before a line ended; got \"" + Printable(inbox_) +
                              "\"");
        }
    }
    std::string line = StripLineEnd(Consume(end + 1));
    if (transcript_ != nullptr) {
        std::lock_guard lock(transcript_->mutex);
        transcript_->lines.push_back(line);
    }
    return line;
}

std::string Connection::ReadExactly(std::size_t count) {
    while (inbox_.size() < count) {
        if (ReadSome("waiting for " + std::to_string(count) + " bytes") != ReadResult::Data) {
            throw ScriptError("the peer ended the connection after " +
                              std::to_string(inbox_.size()) + " of " + std::to_string(count) +
                              " bytes");
        }
    }
    return Consume(count);
}

std::string Connection::ReadAll() {
    for (;;) {
        const ReadResult result = ReadSome("waiting for the peer to close");
        if (result == ReadResult::Closed) return Consume(inbox_.size());
        if (result == ReadResult::Reset) {
            throw ScriptError("the peer reset the connection after \"" + Printable(inbox_) +
                              "\"");
        }
    }
}

void Connection::WaitForPeerClose() {
    while (ReadSome("waiting for the peer to close") == ReadResult::Data) {
    }
    inbox_.clear();
}

void Connection::Close() {
    if (!socket_.is_open()) return;
    // Unread bytes at close() make the kernel send RST instead of FIN.
    ReadAvailable();
    asio::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    socket_.close(ignored);
}

void Connection::Reset() {
    if (!socket_.is_open()) return;
    asio::error_code ignored;
    socket_.set_option(asio::socket_base::linger(true, 0), ignored);
    socket_.close(ignored);
}

std::unique_ptr<Connection> Connection::ConnectTo(const std::string& host, std::uint16_t port) {
    asio::error_code error;
    const auto address = asio::ip::make_address(host, error);
    if (error) throw ScriptError("connecting: bad address \"" + host + "\"");
    asio::ip::tcp::socket socket(io_.context());
    bool done = false;
    const std::string what = "connecting to " + host + ":" + std::to_string(port);
    socket.async_connect({address, port}, [&](const asio::error_code& e) {
        error = e;
        done = true;
    });
    io_.Await(done, [&socket] { socket.close(); }, what);
    if (error) throw ScriptError(what + ": " + error.message());
    return std::make_unique<Connection>(io_, std::move(socket), nullptr);
}

std::unique_ptr<Listener> Connection::Listen() { return std::make_unique<Listener>(io_); }

std::uint16_t Connection::localPort() const {
    asio::error_code error;
    const auto endpoint = socket_.local_endpoint(error);
    return error ? 0 : endpoint.port();
}

std::uint16_t Connection::peerPort() const {
    asio::error_code error;
    const auto endpoint = socket_.remote_endpoint(error);
    return error ? 0 : endpoint.port();
}

// ---- Listener

Listener::Listener(ScriptIo& io, std::uint16_t port)
    : io_(io),
      acceptor_(io.context(), {asio::ip::make_address_v4("127.0.0.1"), port}),
      port_(acceptor_.local_endpoint().port()) {}

std::unique_ptr<Connection> Listener::Accept(Transcript* transcript) {
    asio::ip::tcp::socket socket(io_.context());
    bool done = false;
    asio::error_code error;
    const std::string what = "accepting a connection on port " + std::to_string(port_);
    acceptor_.async_accept(socket, [&](const asio::error_code& e) {
        error = e;
        done = true;
    });
    io_.Await(done, [this] { acceptor_.cancel(); }, what);
    if (error) throw ScriptError(what + ": " + error.message());
    return std::make_unique<Connection>(io_, std::move(socket), transcript);
}

void Listener::Close() {
    asio::error_code ignored;
    acceptor_.close(ignored);
}

// ---- ScriptServer

ScriptServer::ScriptServer(Milliseconds stepTimeout)
    : io_(stepTimeout), listener_(std::make_unique<Listener>(io_)) {}

ScriptServer::~ScriptServer() {
    io_.Stop();
    if (thread_.joinable()) thread_.join();
}

ScriptServer& ScriptServer::Add(std::string name, std::function<void()> action) {
    if (thread_.joinable()) throw std::logic_error("ScriptServer: step added after Start()");
    steps_.push_back({std::move(name), std::move(action)});
    return *this;
}

Connection& ScriptServer::current() {
    if (current_ == nullptr) throw ScriptError("no connection: Accept must come first");
    return *current_;
}

ScriptServer& ScriptServer::Accept() {
    return Add("Accept", [this] {
        connections_.push_back(listener_->Accept(&transcript_));
        current_ = connections_.back().get();
    });
}

ScriptServer& ScriptServer::Send(std::string bytes) {
    std::string name = "Send(\"" + Printable(bytes) + "\")";
    return Add(std::move(name), [this, bytes = std::move(bytes)] { current().Send(bytes); });
}

ScriptServer& ScriptServer::SendLine(std::string_view text) {
    return Send(std::string(text) + "\r\n");
}

ScriptServer& ScriptServer::ExpectLine() {
    return Add("ExpectLine", [this] { current().ReadLine(); });
}

ScriptServer& ScriptServer::ExpectLine(std::string expected) {
    std::string name = "ExpectLine(\"" + Printable(expected) + "\")";
    return Add(std::move(name), [this, expected = std::move(expected)] {
        const std::string line = current().ReadLine();
        if (line != expected) {
            throw ScriptError("got \"" + Printable(line) + "\"");
        }
    });
}

ScriptServer& ScriptServer::ReadAll() {
    return Add("ReadAll", [this] { current().ReadAll(); });
}

ScriptServer& ScriptServer::Stall(Milliseconds duration) {
    return Add("Stall(" + std::to_string(duration.count()) + " ms)",
               [this, duration] { io_.Sleep(duration); });
}

ScriptServer& ScriptServer::Flood(std::string piece, std::size_t limit, Milliseconds pause) {
    return Add("Flood", [this, piece = std::move(piece), limit, pause] {
        try {
            for (std::size_t sent = 0; sent < limit; sent += piece.size()) {
                current().Send(piece);
                flooded_ += piece.size();
                if (pause.count() > 0) io_.Sleep(pause);
            }
        } catch (const ScriptError&) {
            // The client hung up on the flood: that is what it is for.
        }
    });
}

ScriptServer& ScriptServer::Close() {
    return Add("Close", [this] { current().Close(); });
}

ScriptServer& ScriptServer::Reset() {
    return Add("Reset", [this] { current().Reset(); });
}

ScriptServer& ScriptServer::WaitForPeerClose() {
    return Add("WaitForPeerClose", [this] { current().WaitForPeerClose(); });
}

ScriptServer& ScriptServer::Run(CustomStep step) {
    return Add("Run", [this, step = std::move(step)] { step(current()); });
}

void ScriptServer::Start() {
    if (thread_.joinable()) throw std::logic_error("ScriptServer: started twice");
    thread_ = std::thread([this] { RunScript(); });
}

void ScriptServer::RunScript() {
    for (std::size_t index = 0; index < steps_.size(); ++index) {
        try {
            steps_[index].action();
        } catch (const std::exception& failure) {
            RecordError("step " + std::to_string(index + 1) + " " + steps_[index].name + ": " +
                        failure.what());
            // Let the client see the end at once instead of waiting for its own time-out.
            CloseAll();
            break;
        }
    }
    std::lock_guard lock(doneMutex_);
    done_ = true;
    doneSignal_.notify_all();
}

void ScriptServer::CloseAll() {
    for (auto& connection : connections_) connection->Close();
    listener_->Close();
}

std::vector<std::string> ScriptServer::Finish(Milliseconds limit) {
    if (!thread_.joinable()) {
        if (!done_) RecordError("the script was never started");
        done_ = true;
        return errors();
    }
    bool ended;
    {
        std::unique_lock lock(doneMutex_);
        ended = doneSignal_.wait_for(lock, limit, [this] { return done_; });
    }
    if (!ended) io_.Stop();
    thread_.join();
    if (!ended) {
        RecordError("the script did not end within " + std::to_string(limit.count()) + " ms");
    }
    return errors();
}

void ScriptServer::RecordError(std::string error) {
    std::lock_guard lock(transcript_.mutex);
    errors_.push_back(std::move(error));
}

std::vector<std::string> ScriptServer::errors() const {
    std::lock_guard lock(transcript_.mutex);
    return errors_;
}

std::string ScriptServer::received() const {
    std::lock_guard lock(transcript_.mutex);
    return transcript_.received;
}

std::vector<std::string> ScriptServer::lines() const {
    std::lock_guard lock(transcript_.mutex);
    return transcript_.lines;
}

// ---- FTP address forms

std::string FtpHostPort(std::uint16_t port) {
    return "127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256);
}

std::optional<HostPort> ParseFtpHostPort(std::string_view argument) {
    std::array<unsigned, 6> fields{};
    std::size_t start = 0;
    for (std::size_t index = 0; index < fields.size(); ++index) {
        const std::size_t end = index + 1 < fields.size() ? argument.find(',', start)
                                                          : argument.size();
        if (end == std::string_view::npos || end == start) return std::nullopt;
        const char* first = argument.data() + start;
        const char* last = argument.data() + end;
        const auto [stop, error] = std::from_chars(first, last, fields[index]);
        if (error != std::errc() || stop != last || fields[index] > 255) return std::nullopt;
        start = end + 1;
    }
    HostPort result;
    result.host = std::to_string(fields[0]) + "." + std::to_string(fields[1]) + "." +
                  std::to_string(fields[2]) + "." + std::to_string(fields[3]);
    result.port = static_cast<std::uint16_t>(fields[4] * 256 + fields[5]);
    return result;
}

}  // namespace testsupport
