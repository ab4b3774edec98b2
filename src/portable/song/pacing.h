// The pace of playback. Each event follows the one before after its delay,
// but never sooner than the timer resolution; every timer is armed for the
// event's due time measured from the start of the chain, so a late tick
// shortens the next wait and lateness never adds up. Portable.
#pragma once

#include <cstdint>

// The step before an event: the larger of its delay and the resolution.
constexpr uint32_t PlaybackStep(uint32_t delay, uint32_t resolution)
{
    return delay > resolution ? delay : resolution;
}

// The wait to arm now, elapsed milliseconds after the start, for an event
// due at due: the time left, but at least minimum (a late event goes at once).
constexpr uint32_t WaitUntilDue(uint64_t due, uint64_t elapsed, uint32_t minimum)
{
    uint64_t left = due > elapsed ? due - elapsed : 0;
    if (left < minimum) left = minimum;
    return left > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)left;
}

// Extends a wrapping 32-bit millisecond clock to 64 bits: given the last
// extended reading and a new raw reading, the new extended reading.
constexpr uint64_t ExtendClock(uint64_t last, uint32_t raw)
{
    return last + (uint32_t)(raw - (uint32_t)last);
}
