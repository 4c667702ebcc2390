// golden_frames.h -- the golden frame files: every frame of a run by its SHA-256,
// kept small. Frames are grouped by scene and song order; a group is one line with
// a 64-bit digest of all its frames and a 32-bit digest of each 16 of them, so a
// changed frame is found to within 16 frames, named with its scene and order.
#pragma once

#include "tools/common/sha256.h"

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace golden {

constexpr long block_frames = 16;

// One frame as velmora_capture --hash-log writes it.
struct FrameRecord {
    long frame = 0;
    int song = 0, order = 0, row = 0;
    std::string scene, hash;
};
// Consecutive frames; the first need not be frame 0 (a run's frames after a key).
using FrameLog = std::vector<FrameRecord>;

struct FrameGroup {
    long first = 0, count = 0;
    int song = 0, order = 0;
    std::string scene, digest;
    std::vector<std::string> blocks;
    long last() const { return first + count - 1; }
};

// One program's file: its runs by name, each with how it was made and its groups.
struct GoldenRun {
    std::string arguments;
    std::vector<FrameGroup> groups;
};
using GoldenFile = std::map<std::string, GoldenRun>;

inline long end_frame(const FrameLog& f) { return f.empty() ? 0 : f.front().frame + long(f.size()); }
inline const FrameRecord& at(const FrameLog& f, long frame) { return f[std::size_t(frame - f.front().frame)]; }
inline bool same_place(const FrameRecord& a, const FrameRecord& b)
{
    return a.scene == b.scene && a.song == b.song && a.order == b.order;
}

inline std::string hash_log_line(const FrameRecord& r)
{
    return std::to_string(r.frame) + " " + std::to_string(r.song) + " " + std::to_string(r.order) + " " +
           std::to_string(r.row) + " " + r.scene + " " + r.hash + "\n";
}

inline bool read_hash_log(const std::string& text, FrameLog& frames, std::string& error)
{
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        FrameRecord r;
        if (line.empty() || line[0] == '#') continue;
        if (!(std::istringstream(line) >> r.frame >> r.song >> r.order >> r.row >> r.scene >> r.hash) ||
            r.hash.size() != 64 || (!frames.empty() && r.frame != end_frame(frames))) {
            error = "hash log line " + std::to_string(number) + " unreadable: " + line;
            return false;
        }
        frames.push_back(r);
    }
    return true;
}

// The first `digits` hex digits of the SHA-256 of the hashes of frames from..to.
inline std::string digest_of(const FrameLog& frames, long from, long to, int digits)
{
    Sha256 sha;
    sha256_start(sha);
    for (long f = from; f <= to; ++f) sha256_add(sha, at(frames, f).hash.data(), 64);
    return sha256_finish_hex(sha).substr(0, std::size_t(digits));
}

// Groups of consecutive frames sharing scene, song and order, from the one `from_frame` falls in on.
inline std::vector<FrameGroup> group_frames(const FrameLog& frames, long from_frame = 0)
{
    std::vector<FrameGroup> groups;
    for (long start = frames.empty() ? 0 : frames.front().frame, end = start; start < end_frame(frames); start = end) {
        while (end < end_frame(frames) && same_place(at(frames, end), at(frames, start))) ++end;
        if (end - 1 < from_frame) continue;
        const FrameRecord& f = at(frames, start);
        groups.push_back({start, end - start, f.song, f.order, f.scene, digest_of(frames, start, end - 1, 16), {}});
        for (long b = start; b < end; b += block_frames)
            groups.back().blocks.push_back(digest_of(frames, b, std::min(end, b + block_frames) - 1, 8));
    }
    return groups;
}

// The file's text. A later run's group equal to one of the first run's writes "=" for its blocks.
inline std::string golden_text(const std::string& program, const std::vector<std::pair<std::string, GoldenRun>>& runs)
{
    std::string text =
        "# " + program + ": every frame of frame-locked runs of the show, by its SHA-256 (velmora_capture\n"
        "# --hash-log). Written by `make golden`; regenerate after an intended change of what a frame shows.\n"
        "# Per run a line \"run NAME: HOW\", then a line per group of frames sharing scene, song and order:\n"
        "#   first_frame frames song order scene digest block_digest...\n"
        "# digest: the first 16 hex digits of the SHA-256 of the frames' hex hashes in order; a block digest:\n"
        "# the first 8 of the same over 16 frames of the group (\"=\": as in the first run). A keyed run holds\n"
        "# what follows its key.\n";
    for (const auto& [name, run] : runs) {
        text += "run " + name + ": " + run.arguments + "\n";
        for (const FrameGroup& g : run.groups) {
            text += std::to_string(g.first) + " " + std::to_string(g.count) + " " + std::to_string(g.song) + " " +
                    std::to_string(g.order) + " " + g.scene + " " + g.digest;
            const auto& first = runs.front().second.groups;
            if (&run != &runs.front().second && std::any_of(first.begin(), first.end(), [&](const FrameGroup& f) {
                    return f.first == g.first && f.digest == g.digest && f.blocks == g.blocks;
                })) {
                text += " =\n";
                continue;
            }
            for (const std::string& block : g.blocks) text += " " + block;
            text += "\n";
        }
    }
    return text;
}

inline bool parse_golden(const std::string& text, GoldenFile& file, std::string& error)
{
    std::istringstream in(text);
    std::string line, block;
    GoldenRun *run = nullptr, *first = nullptr;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t colon = line.find(": ");
        if (line.rfind("run ", 0) == 0 && colon != std::string::npos) {
            run = &file[line.substr(4, colon - 4)];
            run->arguments = line.substr(colon + 2);
            first = first != nullptr ? first : run;
            continue;
        }
        FrameGroup g;
        std::istringstream fields(line);
        if (run != nullptr && fields >> g.first >> g.count >> g.song >> g.order >> g.scene >> g.digest) {
            while (fields >> block) g.blocks.push_back(block);
            if (g.blocks == std::vector<std::string>{"="} && run != first)
                for (const FrameGroup& f : first->groups)
                    if (f.first == g.first && f.digest == g.digest) g.blocks = f.blocks;
            if (long(g.blocks.size()) == (g.count + block_frames - 1) / block_frames) {
                run->groups.push_back(g);
                continue;
            }
        }
        error = "golden line " + std::to_string(number) + " unreadable: " + line;
        return false;
    }
    return true;
}

// "frames A-B: scene, song S order O, rows R-Q", as the run showed them.
inline std::string describe_frames(const FrameLog& frames, long first, long last)
{
    const FrameRecord &a = at(frames, first), &b = at(frames, last);
    return (first == last ? "frame " + std::to_string(first)
                          : "frames " + std::to_string(first) + "-" + std::to_string(last)) +
           ": " + a.scene + ", song " + std::to_string(a.song) + " order " + std::to_string(a.order) + ", rows " +
           std::to_string(a.row) + "-" + std::to_string(b.row);
}

// "" when the run's frames are the golden ones; otherwise where they first part: the
// 16 frames holding the first changed picture, or the first frame that now belongs
// to another scene or order, or lies beyond either end. The golden frames begin at `from_frame`.
inline std::string first_difference(const std::vector<FrameGroup>& expected, const FrameLog& frames,
                                    long from_frame = 0)
{
    const long begin = frames.empty() ? 0 : frames.front().frame, end = end_frame(frames);
    for (const FrameGroup& e : expected) {
        const std::string golden = " (golden: frames " + std::to_string(e.first) + "-" + std::to_string(e.last()) +
                                   ", " + e.scene + ", song " + std::to_string(e.song) + " order " +
                                   std::to_string(e.order) + ")";
        if (e.first < begin || e.last() >= end)
            return "the run's frames " + std::to_string(begin) + "-" + std::to_string(end - 1) +
                   " do not hold the golden group" + golden;
        for (std::size_t b = 0; b < e.blocks.size(); ++b) {
            const long from = e.first + long(b) * block_frames, to = std::min(from + block_frames - 1, e.last());
            if (digest_of(frames, from, to, 8) != e.blocks[b])
                return "the first difference lies in " + describe_frames(frames, from, to) + golden;
        }
        if (digest_of(frames, e.first, e.last(), 16) != e.digest)
            return "a difference lies in " + describe_frames(frames, e.first, e.last()) + golden;
        for (long f = e.first; f <= e.last() + 1 && f < end; ++f) {
            const FrameRecord& r = at(frames, f);
            if ((r.scene == e.scene && r.song == e.song && r.order == e.order) != (f <= e.last()))
                return "the pictures agree, but " + describe_frames(frames, f, f) + golden;
        }
    }
    const long golden_end = expected.empty() ? from_frame : expected.back().last() + 1;
    if (end > golden_end)
        return "the run goes on past the golden frames: " +
               describe_frames(frames, std::max(golden_end, begin), end - 1);
    return "";
}

}  // namespace golden
