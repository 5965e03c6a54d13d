#include "tests/e2e/scripted_ftp.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace e2e {
namespace {

// A socket with the receive buffer given and the segments of an Ethernet path rather than
// loopback's 64 KiB: the client's system sizes its send buffer by the segment, and would
// otherwise take megabytes of the file at once. A listening socket hands both on to the
// connections it accepts.
int DataSocket(int receiveBuffer) {
    const int data = ::socket(AF_INET, SOCK_STREAM, 0);
    ::setsockopt(data, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    const int ethernetSegment = 1460;
    ::setsockopt(data, IPPROTO_TCP, TCP_MAXSEG, &ethernetSegment, sizeof ethernetSegment);
    return data;
}

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

void ExpectStore(testsupport::Connection& control, const std::string& name) {
    const std::string store = control.ReadLine();
    if (store != "STOR " + name) throw testsupport::ScriptError("unexpected: " + store);
}

// Answers the client's PASV with a port of its own and takes the client's connection there.
int AcceptPassiveDataConnection(testsupport::Connection& control, int receiveBuffer) {
    const std::string pasv = control.ReadLine();
    if (pasv != "PASV") throw testsupport::ScriptError("unexpected: " + pasv);
    const int listening = DataSocket(receiveBuffer);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listening, 1) != 0 ||
        ::getsockname(listening, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listening);
        throw testsupport::ScriptError("cannot listen for the data connection");
    }
    const unsigned port = ntohs(address.sin_port);
    control.Send("227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," +
                 std::to_string(port % 256) + ").\r\n");
    pollfd waiting{listening, POLLIN, 0};
    const int data = ::poll(&waiting, 1, 10'000) == 1 ? ::accept(listening, nullptr, nullptr) : -1;
    ::close(listening);
    if (data < 0) throw testsupport::ScriptError("no data connection came");
    return data;
}

}  // namespace

int OpenActiveDataConnection(testsupport::Connection& control, const std::string& name, int receiveBuffer) {
    const std::string port = control.ReadLine();
    const auto client = testsupport::ParseFtpHostPort(port.substr(port.find(' ') + 1));
    if (port.rfind("PORT ", 0) != 0 || !client) throw testsupport::ScriptError("bad PORT: " + port);
    control.Send("200 port\r\n");
    ExpectStore(control, name);

    const int data = DataSocket(receiveBuffer);
    sockaddr_in address = Loopback(client->port);
    if (::connect(data, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(data);
        throw testsupport::ScriptError("cannot open the data connection");
    }
    control.Send("150 go on\r\n");
    return data;
}

int OpenPassiveDataConnection(testsupport::Connection& control, const std::string& name, int receiveBuffer) {
    const int data = AcceptPassiveDataConnection(control, receiveBuffer);
    ExpectStore(control, name);
    control.Send("150 go on\r\n");
    return data;
}

void RefusePassiveStore(testsupport::Connection& control, const std::string& name, const std::string& reply) {
    const int data = AcceptPassiveDataConnection(control, 65536);
    ExpectStore(control, name);
    control.Send(reply + "\r\n");
    ::close(data);
}

std::string ReadAllData(int data) {
    timeval patience{10, 0};
    ::setsockopt(data, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    std::string bytes;
    char buffer[65536];
    for (ssize_t got; (got = ::recv(data, buffer, sizeof buffer, 0)) > 0;) bytes.append(buffer, static_cast<std::size_t>(got));
    ::close(data);
    return bytes;
}

}  // namespace e2e
