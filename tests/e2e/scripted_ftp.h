#pragma once
// Scripted FTP servers for the dialogues the test bed's servers will not produce.

#include <string>

#include "tests/support/script_server.h"

namespace e2e {

// Queues the log-in the program goes through before each upload, up to the CWD's reply.
inline testsupport::ScriptServer& ScriptLogIn(testsupport::ScriptServer& ftp) {
    return ftp.Accept().SendLine("220 scripted").ExpectLine("USER zdq").SendLine("331 password")
        .ExpectLine("PASS Qm7tR2xw").SendLine("230 in").ExpectLine("TYPE I").SendLine("200 binary")
        .ExpectLine("CWD ./").SendLine("250 here");
}

// Queues the refusal of passive mode, as a server that will only connect to its clients gives it.
inline testsupport::ScriptServer& RefusePassive(testsupport::ScriptServer& ftp) {
    return ftp.ExpectLine("PASV").SendLine("502 Command not implemented.");
}

// The data connections below are opened as over a real network path, with the given receive
// buffer: then the client can send little more than the server has read.

// Answers the client's PORT and its STOR of name (200, then 150 once the data connection is
// open) and returns the data connection's socket, opened to the announced port.
int OpenActiveDataConnection(testsupport::Connection& control, const std::string& name, int receiveBuffer);
// Answers the client's PASV with a port of its own, takes the client's connection there and
// answers its STOR of name with 150; returns the data connection's socket.
int OpenPassiveDataConnection(testsupport::Connection& control, const std::string& name, int receiveBuffer);
// The same up to the STOR of name, which it refuses with reply; the data connection is closed.
void RefusePassiveStore(testsupport::Connection& control, const std::string& name, const std::string& reply);
// All the bytes that come on a data connection until the client closes it (closed then).
std::string ReadAllData(int data);

}  // namespace e2e
