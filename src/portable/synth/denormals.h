// The rendering thread's guard against denormal numbers: where the
// processor computes floats with SSE, it flushes results that small to zero
// and reads such inputs as zero while the guard is on. (Without SSE the
// synthesizer's recursive states flush themselves.) Portable.
#pragma once

#include <cstdint>

#if defined(__SSE__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 1)
#include <xmmintrin.h>
#define QF_SYNTH_FLUSH_DENORMALS 1
#endif

// Turns the guard on; returns what EndFlushDenormals puts back.
inline uint32_t BeginFlushDenormals()
{
#ifdef QF_SYNTH_FLUSH_DENORMALS
    uint32_t saved = _mm_getcsr();
    _mm_setcsr(saved | 0x8040); // flush to zero, denormals are zero
    return saved;
#else
    return 0;
#endif
}

inline void EndFlushDenormals(uint32_t saved)
{
#ifdef QF_SYNTH_FLUSH_DENORMALS
    _mm_setcsr(saved);
#else
    (void)saved;
#endif
}
