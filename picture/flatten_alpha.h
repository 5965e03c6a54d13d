#pragma once
// Transparency laid onto white: JPEG has no alpha, and a phone shows a transparent picture on
// white.

#include "platform/pixels.h"

namespace picture {

// 3-channel pixels; 4-channel ones are blended onto white in place.
platform::Pixels FlattenOntoWhite(platform::Pixels pixels);

}  // namespace picture
