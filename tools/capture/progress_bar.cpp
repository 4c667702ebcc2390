// progress_bar.cpp -- the text of the capture tool's progress line.
#include "progress_bar.h"

#include <cstdio>

std::string clock_text(double seconds)
{
    if (!(seconds >= 0.0) || seconds > 359999.0) return "--:--";
    const long whole = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

std::string progress_line(long done, long total, int song, int order, int row, double elapsed_s,
                          int width)
{
    const double fraction = total > 0 ? (done >= total ? 1.0 : static_cast<double>(done) / static_cast<double>(total)) : 0.0;
    const int filled = static_cast<int>(fraction * width);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '.');
    // Frames still to come at the pace so far.
    const double eta = total <= 0 || done <= 0 ? -1.0
                       : done >= total     ? 0.0
                                           : elapsed_s * static_cast<double>(total - done) / static_cast<double>(done);
    char text[160];
    if (total > 0)
        std::snprintf(text, sizeof text, "[%s] %ld/%ld frames  song %d order %d row %d  ETA %s", bar.c_str(),
                      done, total, song, order, row, clock_text(eta).c_str());
    else
        std::snprintf(text, sizeof text, "%ld frames  song %d order %d row %d  %s elapsed", done, song, order,
                      row, clock_text(elapsed_s).c_str());
    return text;
}
