#pragma once

#include <cstddef>

namespace morvane::fuzz {

// Heap bytes handed out by operator new and not yet given back, counted by the replacement
// operators in AllocationMeter.cpp (linked into the fuzz targets and their regression test).
std::size_t LiveHeapBytes();

// The most heap bytes live at once since the last StartPeakMeasure().
std::size_t PeakHeapBytes();
void StartPeakMeasure();

} // namespace morvane::fuzz
