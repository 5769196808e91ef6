// The millisecond tick count that timed pauses measure against.
//
// Engines hold a TTickSource rather than reading a clock directly, so a test
// can drive a pause by hand. The count is monotonic and wraps around at 2^32;
// callers take differences in unsigned 32-bit arithmetic, which stays right
// across the wrap.
#pragma once

#include <cstdint>
#include <functional>

using TTickSource = std::function<std::uint32_t()>;

// Milliseconds of the steady clock, truncated to 32 bits.
std::uint32_t SteadyTickCount();
