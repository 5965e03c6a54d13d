// URL splitting as a redirect's Location may drive it, and the request head built from the parts.
// Input: one byte for the Port property, one that turns the proxy on (odd), then the URL.

#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "net/http/nmhttp.h"

namespace {

class SplitHTTP : public nmhttp::TNMHTTP {
public:
    using TNMHTTP::BuildHeader;
    using TNMHTTP::ParseURL;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static SplitHTTP http;  // one component for every run, as one component serves every request
    http.Host.clear();
    http.Port = data[0];
    http.Proxy = (data[1] & 1) != 0 ? "proxy" : "";
    http.URL = fuzz::Bytes(data + 2, size - 2);
    try {
        http.ParseURL();
    } catch (const platform::Exception&) {
        return 0;  // the component's own refusals, "Empty URL" to a port out of range
    }
    fuzz::Check(http.Port >= 0 && http.Port <= 65535, "a split URL names a 16-bit port");
    fuzz::Check(!http.Path.empty() && fuzz::EndsWith(http.URL, http.Path), "the path is the end of the URL");
    http.BuildHeader();
    fuzz::Check(http.RequestHeader.Count() > 0 && fuzz::EndsWith(http.RequestHeader[0], " HTTP/1.0"),
                "the head begins with the request line");
    return 0;
}
