// scene_log.cpp -- the scene log: recording, its text form and the printed table.
#include "scene_log.h"

#include <sstream>

void scene_log_trace(SceneLog& log, const char* name, const ShowPosition& at)
{
    scene_log_finish(log, at);
    if (name == nullptr) {
        log.shutdown_reached = true;
        return;
    }
    SceneSpan span;
    span.name = *name != '\0' ? name : "?";
    // Names are single words in the log's text form.
    for (char& c : span.name)
        if (c == ' ' || c == '\t' || c == '\n') c = '_';
    span.start = at;
    log.spans.push_back(span);
}

void scene_log_finish(SceneLog& log, const ShowPosition& at)
{
    if (!log.spans.empty() && !log.spans.back().ended) {
        log.spans.back().end = at;
        log.spans.back().ended = true;
    }
}

std::string scene_log_text(const SceneLog& log)
{
    std::ostringstream text;
    text << "# velmora scene log: name start_frame start_order start_row end_frame end_order end_row\n";
    text << "# shutdown " << (log.shutdown_reached ? "reached" : "not reached") << "\n";
    for (const SceneSpan& s : log.spans)
        text << s.name << ' ' << s.start.frame << ' ' << s.start.order << ' ' << s.start.row << ' '
             << s.end.frame << ' ' << s.end.order << ' ' << s.end.row << '\n';
    return text.str();
}

bool parse_scene_log(const std::string& text, SceneLog& log, std::string& error)
{
    log = SceneLog{};
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (line.empty()) continue;
        if (line[0] == '#') {
            if (line == "# shutdown reached") log.shutdown_reached = true;
            continue;
        }
        std::istringstream fields(line);
        SceneSpan s;
        std::string rest;
        if (!(fields >> s.name >> s.start.frame >> s.start.order >> s.start.row >> s.end.frame >>
              s.end.order >> s.end.row) ||
            (fields >> rest)) {
            error = "line " + std::to_string(number) + ": " + line;
            return false;
        }
        s.ended = true;
        log.spans.push_back(s);
    }
    return true;
}

void print_scene_table(const SceneLog& log, std::FILE* out)
{
    std::fprintf(out, "%-24s %8s %5s %4s %8s %5s %4s %7s\n", "scene", "start", "order", "row", "end",
                 "order", "row", "frames");
    for (const SceneSpan& s : log.spans)
        std::fprintf(out, "%-24s %8ld %5d %4d %8ld %5d %4d %7ld\n", s.name.c_str(), s.start.frame,
                     s.start.order, s.start.row, s.end.frame, s.end.order, s.end.row,
                     s.end.frame - s.start.frame);
    std::fprintf(out, "%s\n", log.shutdown_reached ? "shutdown reached" : "shutdown NOT reached");
}
