#include "net/http/nmuue.h"

#include <istream>
#include <ostream>
#include <sstream>
#include <string>

namespace nmuue {
namespace {

constexpr int BytesPerLine = 45;  // 60 characters of code

std::array<char, 64> TableOf(UUMethods method) {
    std::array<char, 64> table{};
    if (method == UUMethods::uuMime) {
        static constexpr char base64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (std::size_t v = 0; v < table.size(); ++v) {
            table[v] = base64[v];
        }
    } else {
        table[0] = '`';  // a space would be lost by mailers that trim lines
        for (std::size_t v = 1; v < table.size(); ++v) {
            table[v] = static_cast<char>(32 + v);
        }
    }
    return table;
}

}  // namespace

void TNMUUProcessor::Encode() {
    InputStream->clear();
    InputStream->seekg(0);
    if (OnBeginEncode) {
        OnBeginEncode(this);
    }
    try {
        Alphabet = TableOf(Method);
        EncodeLines();
    } catch (...) {
        FinishEncode();
        throw;
    }
    FinishEncode();
}

void TNMUUProcessor::FinishEncode() {
    OutputStream->clear();
    OutputStream->seekp(0);
    OutputStream->seekg(0);
    if (OnEndEncode) {
        OnEndEncode(this);
    }
}

void TNMUUProcessor::EncodeLines() {
    const bool mime = Method == UUMethods::uuMime;
    unsigned char in[BytesPerLine];
    for (;;) {
        InputStream->read(reinterpret_cast<char*>(in), BytesPerLine);
        const auto n = static_cast<int>(InputStream->gcount());
        if (n == 0) {
            break;
        }
        std::string line;
        if (!mime) {
            line += Code(static_cast<unsigned>(n));
        }
        int i = 0;
        for (; i + 3 <= n; i += 3) {
            line += Code(in[i] >> 2);
            line += Code(((in[i] & 3) << 4) | (in[i + 1] >> 4));
            line += Code(((in[i + 1] & 15) << 2) | (in[i + 2] >> 6));
            line += Code(in[i + 2] & 63);
        }
        if (n - i == 1) {
            line += Code(in[i] >> 2);
            line += Code((in[i] & 3) << 4);
            if (mime) {
                line += "==";
            }
        } else if (n - i == 2) {
            line += Code(in[i] >> 2);
            line += Code(((in[i] & 3) << 4) | (in[i + 1] >> 4));
            line += Code((in[i + 1] & 15) << 2);
            if (mime) {
                line += '=';
            }
        }
        line += "\r\n";
        OutputStream->write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    if (!mime) {
        OutputStream->write("`\r\n", 3);
    }
}

std::string EncodeBytes(const std::string& bytes, UUMethods method) {
    std::istringstream input(bytes);
    std::stringstream output;
    TNMUUProcessor processor;
    processor.Method = method;
    processor.InputStream = &input;
    processor.OutputStream = &output;
    processor.Encode();
    return output.str();
}

}  // namespace nmuue
