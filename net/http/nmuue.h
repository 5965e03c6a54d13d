#pragma once
// TNMUUProcessor: encodes the whole of one stream into text lines on another, as Base64
// (uuMime) or in the uuencode style (uuCode). Every line, the last included, ends with CR LF.

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "platform/runtime.h"

namespace nmuue {

using platform::TNotifyEvent;
using platform::TObject;

enum class UUMethods : std::uint8_t { uuMime = 0, uuCode = 1 };

class TNMUUProcessor : public TObject {
public:
    TNotifyEvent OnBeginEncode;
    TNotifyEvent OnEndEncode;
    // Declared for completeness; there is no decoder.
    TNotifyEvent OnBeginDecode;
    TNotifyEvent OnEndDecode;

    std::array<char, 64> Alphabet{};  // code table of the current method, filled by Encode
    std::istream* InputStream = nullptr;     // not owned
    std::iostream* OutputStream = nullptr;   // not owned
    UUMethods Method = UUMethods::uuMime;

    // Reads InputStream from its start to its end and appends the encoded lines to OutputStream;
    // afterwards OutputStream is positioned at 0 so the caller can read the result.
    void Encode();

private:
    void EncodeLines();
    void FinishEncode();
    char Code(unsigned value) const { return Alphabet[value & 63]; }
};

// The encoded lines of bytes, as a processor with the given method writes them.
std::string EncodeBytes(const std::string& bytes, UUMethods method);

}  // namespace nmuue
