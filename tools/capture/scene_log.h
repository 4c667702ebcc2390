// scene_log.h -- when each scene (and entry step) started and returned: frame,
// music order and row at both ends.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct ShowPosition {
    long frame = 0;
    int order = 0, row = 0;
};

struct SceneSpan {
    std::string name;
    ShowPosition start, end;
    bool ended = false;
};

struct SceneLog {
    std::vector<SceneSpan> spans;
    bool shutdown_reached = false;  // the entry traced its shutdown
};

// A trace arrived: the span before it (if any) ends here; `name` nullptr is the
// shutdown, otherwise a new span starts.
void scene_log_trace(SceneLog& log, const char* name, const ShowPosition& at);
// Ends a span left open (a run that stopped without the shutdown trace).
void scene_log_finish(SceneLog& log, const ShowPosition& at);

// The text form, one span a line after '#' comment lines:
//   name start_frame start_order start_row end_frame end_order end_row
std::string scene_log_text(const SceneLog& log);
// Reads that form back; false on a malformed line (its number in `error`).
bool parse_scene_log(const std::string& text, SceneLog& log, std::string& error);
// A table for people, with each span's length in frames.
void print_scene_table(const SceneLog& log, std::FILE* out);
