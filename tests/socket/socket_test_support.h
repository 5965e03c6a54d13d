#pragma once
// What the socket component's tests share.

#include <functional>
#include <string>

#include "net/socket/psock.h"
#include "tests/support/exceptions.h"
#include "tests/support/script_server.h"

namespace sockettest {

// Starts the script and connects the component to it.
inline void StartAndConnect(testsupport::ScriptServer& server, psock::TPowersock& sock) {
    server.Start();
    sock.Host = "127.0.0.1";
    sock.Port = server.port();
    sock.Connect();
}

}  // namespace sockettest
