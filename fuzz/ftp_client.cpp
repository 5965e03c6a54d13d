// The FTP client through a whole send (log-in, "TYPE I", "CWD ./", the upload, "QUIT") against a
// server that answers with the input's lines. The server answers each line of the client with
// the next reply: the lines up to one that does not continue, and after a preliminary reply the
// one after it as well. "%P" in a reply stands for the server's data port as "p1,p2"; a "PORT"
// command makes the server connect back and take the data. First input byte: bit 0 passive mode,
// bit 1 an empty file. Every failure must be one of the component's exceptions.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/loopback_peer.h"
#include "net/ftp/nmftp.h"

namespace {

bool IsContinued(const std::string& line) {
    return (!line.empty() && line[0] == ' ') || (line.size() >= 4 && line[3] == '-');
}

// The replies of the input, each its lines up to and including the first that does not continue.
std::vector<std::string> RepliesOf(const std::string& text) {
    std::vector<std::string> replies(1);
    for (const std::string& line : fuzz::LinesOf(text)) {
        replies.back() += line;
        if (!IsContinued(line)) replies.emplace_back();
    }
    if (replies.back().empty()) replies.pop_back();
    return replies;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The port of "PORT h1,h2,h3,h4,p1,p2", when the numbers are there.
std::optional<std::uint16_t> AnnouncedPort(const std::string& line) {
    if (line.rfind("PORT ", 0) != 0) return std::nullopt;
    try {
        return static_cast<std::uint16_t>(nmftp::PassivePort(line + ")"));
    } catch (const platform::Exception&) {
        return std::nullopt;
    }
}

std::string LocalFile(bool empty) {
    static const std::filesystem::path folder = [] {
        const auto& path = fuzz::ScratchFolder();
        std::ofstream(path / "photo.jpg", std::ios::binary) << std::string(3000, 'x');
        std::ofstream(path / "empty.jpg", std::ios::binary);
        return path;
    }();
    return (folder / (empty ? "empty.jpg" : "photo.jpg")).string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::vector<std::string> replies = RepliesOf(fuzz::Bytes(data + 1, size - 1));
    std::size_t next = 0;
    fuzz::LoopbackPeer peer([&](fuzz::LoopbackPeer& self, const std::optional<std::string>& line) {
        if (line) {
            if (const auto announced = AnnouncedPort(*line)) self.Drain(*announced);
        }
        const int port = self.dataPort();
        const std::string dataPort = std::to_string(port / 256) + "," + std::to_string(port % 256);
        std::string answer;
        std::string reply;
        // A preliminary reply ("1yz") is followed by the next one without another command.
        while (next < replies.size() && (reply.empty() || reply[0] == '1')) {
            reply = Replace(replies[next++], "%P", dataPort);
            answer += reply;
        }
        return fuzz::PeerAnswer{std::move(answer), next == replies.size()};
    });

    nmftp::TNMFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = peer.port();
    ftp.UserID = "zdq";
    ftp.Password = "s3cret";
    ftp.TimeOut = 200;
    ftp.Passive = (data[0] & 1) != 0;
    try {
        ftp.Connect();
        ftp.Mode(2);
        ftp.ChangeDir("./");
        ftp.Upload(LocalFile((data[0] & 2) != 0), "");
        ftp.Disconnect();
    } catch (const platform::Exception&) {
        // refused, cut off, timed out: the send's failure message
    }
    fuzz::Check(ftp.DataSocket == nullptr, "no data socket outlives the upload");
    return 0;
}
