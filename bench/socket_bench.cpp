// Figures for the socket component: the CPU a wait burns while nothing happens, the speed and
// memory of sending files of growing size, and the speed of reading protocol lines.
//
//   bench_socket idle              3-second stall: CPU seconds used by the waiting thread
//   bench_socket sendfile DIR      sparse files of 10 MB .. 4.5 GB: MB/s and peak memory
//   bench_socket lines             200,000 reply lines through ReadLn: lines per second
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "bench/process_figures.h"
#include "net/socket/psock.h"
#include "tests/support/asio.h"

namespace {

using Clock = std::chrono::steady_clock;

using bench::CpuSeconds;
using bench::PeakMemoryKiB;

// A loopback peer on its own thread: it sends `greeting`, then reads and counts until the close.
class Peer {
public:
    explicit Peer(std::string greeting = {}) : acceptor_(io_, {asio::ip::make_address("127.0.0.1"), 0}) {
        thread_ = std::thread([this, greeting] {
            asio::ip::tcp::socket socket(io_);
            acceptor_.accept(socket);
            asio::write(socket, asio::buffer(greeting));
            std::vector<char> buffer(1 << 20);
            asio::error_code ec;
            while (!ec) received_ += static_cast<std::int64_t>(socket.read_some(asio::buffer(buffer), ec));
        });
    }
    ~Peer() { thread_.join(); }
    int port() const { return acceptor_.local_endpoint().port(); }
    std::int64_t received() {
        thread_.join();
        thread_ = std::thread([] {});
        return received_;
    }

private:
    asio::io_context io_;
    asio::ip::tcp::acceptor acceptor_;
    std::thread thread_;
    std::int64_t received_ = 0;
};

void Connect(psock::TPowersock& sock, int port) {
    sock.Host = "127.0.0.1";
    sock.Port = port;
    sock.Connect();
}

int Idle() {
    Peer peer;
    psock::TPowersock sock;
    Connect(sock, peer.port());
    sock.TimeOut = 3000;
    const double cpuBefore = CpuSeconds();
    const auto start = Clock::now();
    try {
        sock.ReadLn();
    } catch (const psock::EAbortError&) {
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("idle wait: %.2f s wall, %.3f s CPU (%.2f%%)\n", wall, CpuSeconds() - cpuBefore,
                100.0 * (CpuSeconds() - cpuBefore) / wall);
    sock.Disconnect();
    return 0;
}

int SendFiles(const std::string& dir) {
    for (std::int64_t size : {10LL << 20, 100LL << 20, 1LL << 30, 4608LL << 20}) {
        const std::string path = dir + "/bench-" + std::to_string(size) + ".bin";
        std::error_code error;
        std::ofstream(path, std::ios::binary | std::ios::trunc).close();
        std::filesystem::resize_file(path, static_cast<std::uintmax_t>(size), error);  // sparse
        if (error) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), error.message().c_str());
            return 1;
        }
        Peer peer;
        psock::TPowersock sock;
        Connect(sock, peer.port());
        const auto start = Clock::now();
        sock.SendFile(path);
        sock.Disconnect();
        const std::int64_t received = peer.received();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("sendfile %8.1f MB: %7.1f MB/s, received %s, peak memory %ld KiB\n",
                    static_cast<double>(size) / 1048576.0, static_cast<double>(size) / 1048576.0 / seconds,
                    received == size ? "all" : "SHORT", PeakMemoryKiB());
        std::filesystem::remove(path, error);
    }
    return 0;
}

int Lines() {
    constexpr int count = 200'000;
    std::string text;
    for (int i = 0; i < count; ++i) text += "250-Line number " + std::to_string(i) + " of a long reply\r\n";
    Peer peer(text);
    psock::TPowersock sock;
    Connect(sock, peer.port());
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) sock.ReadLn();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("ReadLn: %.0f lines/s (%.1f MB/s)\n", count / seconds,
                static_cast<double>(text.size()) / 1048576.0 / seconds);
    sock.Disconnect();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "idle") return Idle();
    if (mode == "sendfile") return SendFiles(argc > 2 ? argv[2] : "/tmp");
    if (mode == "lines") return Lines();
    std::fprintf(stderr, "usage: bench_socket idle | sendfile [DIR] | lines\n");
    return 2;
}
