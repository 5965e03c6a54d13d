#pragma once
// TNMURL: turns a text into the form used for "application/x-www-form-urlencoded" data.

#include <functional>
#include <string>

#include "platform/runtime.h"

namespace nmurl {

using platform::TObject;

// Not the socket layer's TOnErrorEvent: this one names the failed operation.
using TOnErrorEvent =
    std::function<void(TObject* Sender, const std::string& Operation, const std::string& ErrMsg)>;

class TNMURL : public TObject {
public:
    std::string InputString;
    TOnErrorEvent OnError;

    // The encoded form of InputString: space becomes "+", ASCII letters and digits stay, every
    // other byte (each byte of a double-byte character too) becomes "%" and two upper-case hex
    // digits. Never throws: on failure OnError is told and InputString comes back unchanged.
    std::string Encode();
};

}  // namespace nmurl
