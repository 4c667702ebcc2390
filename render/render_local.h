// render_local.h -- what the renderer's own files share: the saturating
// float-to-integer conversions that keep wild coordinates away from undefined
// behaviour.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Range checks of the rasterizers' set-up, compiled in by the sanitizer test build
// (VELMORA_RANGE_CHECKS): a failed check names the function and the values, and
// stops. Off in the show.
#ifdef VELMORA_RANGE_CHECKS
#define RENDER_RANGE_CHECK(condition, ...)        \
    do {                                          \
        if (!(condition)) {                       \
            std::fprintf(stderr, __VA_ARGS__);    \
            std::fputc('\n', stderr);             \
            std::abort();                         \
        }                                         \
    } while (0)
#else
#define RENDER_RANGE_CHECK(condition, ...) ((void)0)
#endif

// The value with NaN replaced by 0 and limited to -limit .. limit.
inline float clamp_finite(float value, float limit)
{
    if (value != value) return 0.0f;
    if (value > limit) return limit;
    if (value < -limit) return -limit;
    return value;
}

inline double clamp_finite(double value, double limit)
{
    if (value != value) return 0.0;
    if (value > limit) return limit;
    if (value < -limit) return -limit;
    return value;
}

// Truncation toward zero, saturated at +-limit (limit below 2^31); NaN gives 0.
inline std::int32_t truncate_saturated(double value, double limit)
{
    return static_cast<std::int32_t>(clamp_finite(value, limit));
}

// Largest magnitude a screen coordinate is carried with; far outside the frame,
// small enough that differences and sums of two stay inside 32 bits.
constexpr float coordinate_limit = 536870912.0f;  // 2^29
// Largest depth carried through the fillers (well inside 32 bits).
constexpr float depth_limit = 1.0e9f;
