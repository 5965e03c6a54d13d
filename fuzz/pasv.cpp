// The data port of a passive reply, "PASV"'s and "EPSV"'s: a port number or the runtime's
// conversion or range error, whatever the reply holds.

#include <cstdint>
#include <functional>
#include <string>

#include "fuzz/fuzz_input.h"
#include "net/ftp/nmftp.h"

namespace {

void CheckPort(const std::function<int()>& parse, int lowest, const char* what) {
    try {
        const int port = parse();
        fuzz::Check(port >= lowest && port <= 65535, what);
    } catch (const platform::EConvertError&) {
    } catch (const platform::ERangeError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply = fuzz::Bytes(data, size);
    CheckPort([&] { return nmftp::PassivePort(reply); }, 0, "a passive port fits 16 bits");
    CheckPort([&] { return nmftp::ExtendedPassivePort(reply); }, 1, "an extended passive port is 1-65535");
    return 0;
}
