// palette.h -- colour ramps, and the show's palettes: one family of colours per
// part of the show, shared by every picture of that part.
#pragma once

#include "image.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

// A piecewise-linear ramp through colour stops at increasing positions.
struct Ramp {
    struct Stop {
        float at;
        Rgb colour;
    };
    std::vector<Stop> stops;

    Ramp(std::initializer_list<Stop> s) : stops(s) {}
    // The colour at t; clamped to the first and last stop.
    Rgb operator()(float t) const
    {
        if (t <= stops.front().at) return stops.front().colour;
        for (std::size_t i = 1; i < stops.size(); ++i)
            if (t < stops[i].at) {
                const float span = stops[i].at - stops[i - 1].at;
                return mix(stops[i - 1].colour, stops[i].colour, (t - stops[i - 1].at) / span);
            }
        return stops.back().colour;
    }
};

inline Rgb grey(float v) { return {v, v, v}; }

// The show's colours, by part.
namespace show_colour {
// Song 1: deep space and cold-white stars; pale blue titles.
inline const Rgb star_white{215, 228, 255};
inline const Rgb pale_blue{170, 200, 255};
// Logo, credits and end: warm magenta and gold on deep blue; the gold and warm
// white are the show's title colours wherever text is gold.
inline const Rgb title_gold{250, 190, 90};
inline const Rgb warm_white{255, 246, 220};
inline const Rgb magenta{230, 70, 160};
inline const Rgb deep_blue{14, 16, 58};
// Particles: navy.
inline const Rgb navy{8, 12, 40};
// Grit: teal.
inline const Rgb dark_teal{6, 40, 46};
inline const Rgb teal_white{180, 255, 240};
}  // namespace show_colour

inline const Ramp fire_ramp{{0.0f, {0, 0, 0}},       {0.35f, {90, 10, 4}},   {0.6f, {210, 70, 10}},
                            {0.8f, {255, 160, 40}},  {0.93f, {255, 230, 120}}, {1.0f, {255, 255, 230}}};
inline const Ramp gold_ramp{{0.0f, {30, 16, 4}},    {0.3f, {120, 70, 20}},  {0.6f, {220, 160, 60}},
                            {0.85f, {255, 225, 140}}, {1.0f, {255, 250, 225}}};
