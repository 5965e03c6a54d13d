#include "tests/e2e/address_translator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace e2e {
namespace {

sockaddr_in Address(const char* host, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, host, &address.sin_addr);
    return address;
}

// Waits at most a tenth of a second for the socket to have something to read.
bool Readable(int socket) {
    pollfd waiting{socket, POLLIN, 0};
    return ::poll(&waiting, 1, 100) == 1;
}

}  // namespace

AddressTranslator::AddressTranslator(std::uint16_t serverPort) : serverPort_(serverPort) {
    listening_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Address("127.0.0.1", 0);
    socklen_t length = sizeof address;
    if (::bind(listening_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listening_, 8) != 0 ||
        ::getsockname(listening_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listening_);
        throw std::runtime_error("the address translator cannot listen");
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

AddressTranslator::~AddressTranslator() {
    stopping_ = true;
    acceptor_.join();
    ::close(listening_);
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::thread& relay : relays_) relay.join();
}

void AddressTranslator::AcceptLoop() {
    while (!stopping_) {
        if (!Readable(listening_)) continue;
        const int client = ::accept(listening_, nullptr, nullptr);
        if (client < 0) continue;
        const int server = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in outside = Address("127.0.0.2", 0);
        sockaddr_in target = Address("127.0.0.1", serverPort_);
        if (::bind(server, reinterpret_cast<sockaddr*>(&outside), sizeof outside) != 0 ||
            ::connect(server, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
            ::close(server);
            ::close(client);
            continue;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        relays_.emplace_back([this, client, server] { Relay(client, server); });
    }
}

// Passes bytes both ways until either side closes, or the translator stops.
void AddressTranslator::Relay(int client, int server) {
    char buffer[65536];
    pollfd sides[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    bool open = true;
    while (open && !stopping_) {
        if (::poll(sides, 2, 100) <= 0) continue;
        for (int from = 0; from < 2 && open; ++from) {
            if (sides[from].revents == 0) continue;
            const ssize_t got = ::recv(sides[from].fd, buffer, sizeof buffer, 0);
            open = got > 0 && ::send(sides[1 - from].fd, buffer, static_cast<std::size_t>(got), MSG_NOSIGNAL) == got;
        }
    }
    ::close(client);
    ::close(server);
}

}  // namespace e2e
