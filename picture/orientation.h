#pragma once
// The EXIF orientation (tag 274) applied to the pixels, so that a viewer that ignores the tag
// shows the picture upright too.

#include "platform/pixels.h"

namespace picture {

// Values 5 to 8 turn the picture a quarter: width and height change places.
bool SwapsSides(int exifOrientation);
// The pixels as the orientation says they are to be seen; a value outside 1-8 counts as 1.
platform::Pixels Orient(platform::Pixels stored, int exifOrientation);

}  // namespace picture
