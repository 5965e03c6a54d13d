// Reply and status lines as any server may send them: the FTP reply code, the HTTP status code
// and the field splitting both clients read them with, line by line.

#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "net/ftp/nmftp.h"
#include "net/http/nmhttp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const std::string& line : fuzz::LinesOf(fuzz::Bytes(data, size))) {
        try {
            fuzz::Check(nmftp::ReplyCode(line) >= 0, "an FTP reply code is never negative");
        } catch (const platform::ERangeError&) {
            // a code beyond the 16-bit reply number
        }
        fuzz::Check(nmhttp::StatusCode(line) >= 0, "an HTTP status is never negative");
        const int blank = psock::NthPos(line, ' ', 1);
        fuzz::Check(blank >= 1 && static_cast<std::size_t>(blank) <= line.size() + 1, "NthPos stays in the line");
        fuzz::Check(psock::NthWord(line, ' ', 2).size() <= line.size(), "a field is part of its line");
    }
    return 0;
}
