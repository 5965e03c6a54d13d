#pragma once
// A home router between the program and a server, as the server sees it: connections to
// 127.0.0.1:port() reach the server from another address, 127.0.0.2. A server that checks the
// address of an active-mode data port against its client's then refuses it, as a server on the
// internet refuses (or cannot reach) the private address of a client behind such a router.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace e2e {

class AddressTranslator {
public:
    explicit AddressTranslator(std::uint16_t serverPort);
    ~AddressTranslator();
    AddressTranslator(const AddressTranslator&) = delete;
    AddressTranslator& operator=(const AddressTranslator&) = delete;

    std::uint16_t port() const { return port_; }

private:
    void AcceptLoop();
    void Relay(int client, int server);

    std::uint16_t serverPort_;
    int listening_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::vector<std::thread> relays_;
    std::thread acceptor_;
};

}  // namespace e2e
