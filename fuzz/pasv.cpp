// The data port of a "PASV" reply: a port number or the runtime's conversion or range error,
// whatever the reply holds.

#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "net/ftp/nmftp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const int port = nmftp::PassivePort(fuzz::Bytes(data, size));
        fuzz::Check(port >= 0 && port <= 65535, "a passive port fits 16 bits");
    } catch (const platform::EConvertError&) {
    } catch (const platform::ERangeError&) {
    }
    return 0;
}
