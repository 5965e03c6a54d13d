#include "platform/memory.h"

namespace platform {

// Windows backs ordinary allocations with small pages only; large pages need a privilege the
// program does not ask for. Nothing to do.
void AdviseLargeFill(void*, std::size_t) {}

}  // namespace platform
