#pragma once
// Shrinking by area averaging: each new pixel is the mean of the old pixels it covers, each
// weighted by how much of it is covered. Unlike picking the nearest pixel it keeps fine detail
// from turning into noise and moiré, and it needs no more than a row of sums per new row.

#include "platform/pixels.h"

namespace picture {

// The pixels shrunk to width x height, each no larger than the source's (an equal size is a copy).
platform::Pixels ResampleByArea(const platform::Pixels& source, int width, int height);

}  // namespace picture
