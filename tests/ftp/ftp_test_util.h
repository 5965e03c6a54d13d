#pragma once
// What the FTP tests share: a client wired to record its events in order, scripted log-ins and
// dialogues, the message of an expected exception, and local files of known content.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/ftp/nmftp.h"
#include "tests/support/exceptions.h"
#include "tests/support/script_server.h"
#include "tests/support/temp_dir.h"

namespace ftptest {

// Every event of a client, in order, as short texts: "status:" + text, "connect", "failed",
// "success:9", "failure:9", "unsupported:9", "start", "sent", "stop". OnPacketSent records
// "sent" once per run of consecutive calls, and keeps the last sender's BytesSent.
struct EventLog {
    std::vector<std::string> events;
    std::int64_t bytesSent = 0;
    platform::TObject* packetSender = nullptr;
    bool handleFailure = false;  // what the OnFailure handler answers

    void Attach(nmftp::TNMFTP& ftp) {
        ftp.ReportLevel = 1;
        ftp.OnStatus = [this](platform::TObject*, const std::string& text) { Add("status:" + text); };
        ftp.OnConnect = [this](platform::TObject*) { Add("connect"); };
        ftp.OnConnectionFailed = [this](platform::TObject*) { Add("failed"); };
        ftp.OnSuccess = [this](nmftp::TCmdType code) { Add("success:" + std::to_string(code)); };
        ftp.OnFailure = [this](bool& handled, nmftp::TCmdType code) {
            Add("failure:" + std::to_string(code));
            handled = handleFailure;
        };
        ftp.OnUnSupportedFunction = [this](nmftp::TCmdType code) { Add("unsupported:" + std::to_string(code)); };
        ftp.OnTransactionStart = [this](platform::TObject*) { Add("start"); };
        ftp.OnTransactionStop = [this](platform::TObject*) { Add("stop"); };
        ftp.OnPacketSent = [this](platform::TObject* sender) {
            packetSender = sender;
            bytesSent = static_cast<psock::TPowersock*>(sender)->BytesSent;
            if (events.empty() || events.back() != "sent") Add("sent");
        };
    }
    void Add(const std::string& event) { events.push_back(event); }
    std::size_t Count(const std::string& event) const {
        std::size_t n = 0;
        for (const auto& e : events) n += e == event ? 1 : 0;
        return n;
    }
    bool Has(const std::string& event) const { return Count(event) > 0; }
};

inline void PointAt(nmftp::TNMFTP& ftp, const testsupport::ScriptServer& server) {
    ftp.Host = server.host();
    ftp.Port = server.port();
    ftp.UserID = "zdq";
    ftp.Password = "s3cret";
}

// One step of a control dialogue: the line the client must send, and the server's reply.
struct Exchange {
    std::string command;
    std::string reply;
};

// Queues the exchanges, in order, on the connection the server last accepted.
inline testsupport::ScriptServer& ScriptExchanges(testsupport::ScriptServer& server,
                                                  const std::vector<Exchange>& exchanges) {
    for (const auto& [command, reply] : exchanges) server.ExpectLine(command).SendLine(reply);
    return server;
}

// A log-in that a server answers 230 to "USER" alone.
inline testsupport::ScriptServer& ScriptLogIn(testsupport::ScriptServer& server) {
    return server.Accept().SendLine("220 ready").ExpectLine("USER zdq").SendLine("230 logged in");
}

// A log-in that asks for the password after "USER".
inline testsupport::ScriptServer& ScriptPasswordLogIn(testsupport::ScriptServer& server) {
    return ScriptExchanges(server.Accept().SendLine("220 ready"),
                           {{"USER zdq", "331 Password required"}, {"PASS s3cret", "230 Logged in"}});
}

// The server's end of a session: "QUIT" answered, then the client's close.
inline testsupport::ScriptServer& ScriptQuit(testsupport::ScriptServer& server) {
    return server.ExpectLine("QUIT").SendLine("221 Bye").WaitForPeerClose();
}

using testsupport::MessageOfThrown;

// Bytes that differ from position to position, so a lost or moved piece shows.
inline std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 2463534242u;
    for (auto& b : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<char>(state);
    }
    return bytes;
}

}  // namespace ftptest
