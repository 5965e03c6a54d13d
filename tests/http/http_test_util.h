#pragma once
// What the HTTP tests share: the standard lines of every request head, and the message of an
// expected exception.

#include <functional>
#include <string>

#include "tests/support/exceptions.h"

namespace httptest {

// The lines every request carries after its request line and Host line.
inline const std::string Accept1 = "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff";
inline const std::string Accept2 = "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript";
inline const std::string ContentType = "Content-type: application/x-www-form-urlencoded";

// The same three lines as they stand in a request head on the wire.
inline std::string StandardLinesOnTheWire() { return Accept1 + "\r\n" + Accept2 + "\r\n" + ContentType + "\r\n"; }

using testsupport::MessageOfThrown;

}  // namespace httptest
