// progress_bar.h -- one line on standard error for runs that write files.
#pragma once

#include <string>

// The line for `done` of `total` frames (total <= 0: unknown), the show's
// position and the estimated time left; `width` is the bar's width in cells.
std::string progress_line(long done, long total, int song, int order, int row, double elapsed_s,
                          int width);
// Minutes and seconds ("3:07"), or "--:--" for a negative or absurd estimate.
std::string clock_text(double seconds);
