#pragma once
// Hints about large buffers the program is about to fill.

#include <cstddef>

namespace platform {

// Says that the range, just allocated, is large and will be filled soon: where the system can, it
// backs the range with large pages, sparing a page fault per small page. A hint only: it never
// fails and changes nothing that the program can see.
void AdviseLargeFill(void* data, std::size_t size);

}  // namespace platform
