#pragma once
// What the benchmarks measure of their own process, from the system.

namespace bench {

// CPU time used by the process so far, user and system, in seconds.
double CpuSeconds();
// The most memory the process has held at once, in KiB.
long PeakMemoryKiB();

}  // namespace bench
