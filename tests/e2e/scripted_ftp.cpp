#include "tests/e2e/scripted_ftp.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace e2e {

int OpenActiveDataConnection(testsupport::Connection& control, const std::string& name, int receiveBuffer) {
    const std::string port = control.ReadLine();
    const auto client = testsupport::ParseFtpHostPort(port.substr(port.find(' ') + 1));
    if (port.rfind("PORT ", 0) != 0 || !client) throw testsupport::ScriptError("bad PORT: " + port);
    control.Send("200 port\r\n");
    const std::string store = control.ReadLine();
    if (store != "STOR " + name) throw testsupport::ScriptError("unexpected: " + store);

    const int data = ::socket(AF_INET, SOCK_STREAM, 0);
    ::setsockopt(data, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    // Segments of an Ethernet path rather than loopback's 64 KiB: the client's system sizes its
    // send buffer by the segment, and would otherwise take megabytes of the file at once.
    const int ethernetSegment = 1460;
    ::setsockopt(data, IPPROTO_TCP, TCP_MAXSEG, &ethernetSegment, sizeof ethernetSegment);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(client->port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(data, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(data);
        throw testsupport::ScriptError("cannot open the data connection");
    }
    control.Send("150 go on\r\n");
    return data;
}

}  // namespace e2e
