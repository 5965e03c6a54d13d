// The HTTP client through a whole request against a server that answers every connection with
// the input, redirects included. Every connection goes to that server as a proxy, so no URL a
// response names is ever looked up. First input byte: bits 0-1 the request (GET, POST as the
// send does, HEAD, GET), bit 2 the body to a file. Every failure must be one of the component's
// exceptions; a response read in string mode is its head and body, byte for byte.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "fuzz/fuzz_input.h"
#include "fuzz/loopback_peer.h"
#include "net/http/nmhttp.h"

namespace {

std::string BodyFile() { return (fuzz::ScratchFolder() / "body").string(); }

void Request(nmhttp::TNMHTTP& http, int kind) {
    const std::string url = "http://milte.example.jp/ftp.php?file=a.jpg&name=n&mail=m@docomo.ne.jp";
    switch (kind) {
    case 1: http.Post(url, ""); break;
    case 2: http.Head(url); break;
    default: http.Get(url); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string response = fuzz::Bytes(data + 1, size - 1);
    fuzz::LoopbackPeer peer([&](fuzz::LoopbackPeer&, const std::optional<std::string>& line) {
        // The whole response goes out at once, before the request has been read.
        return line ? fuzz::PeerAnswer{"", true} : fuzz::PeerAnswer{response, true};
    });

    nmhttp::TNMHTTP http;
    http.Proxy = "127.0.0.1";
    http.ProxyPort = peer.port();
    http.TimeOut = 200;
    http.InputFileMode = (data[0] & 4) != 0;
    if (http.InputFileMode) http.Body = BodyFile();
    try {
        Request(http, data[0] & 3);
    } catch (const platform::Exception&) {
        return 0;  // refused, cut off, timed out, too many redirects
    }
    if (http.InputFileMode) return 0;
    // A line the server cut short by closing is dropped, so a head that never ended may lack its end.
    const std::string kept = http.Header + http.Body;
    fuzz::Check(response.compare(0, kept.size(), kept) == 0, "head and body are the response in order");
    fuzz::Check(http.Body.empty() || kept == response, "after the head everything is body");
    return 0;
}
