// contact_sheet.h -- one labelled thumbnail per scene and per order within it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int thumb_width = 160;   // the 320x200 frame halved
constexpr int thumb_height = 100;
constexpr int sheet_columns = 6;
constexpr int sheet_margin = 8;
constexpr int sheet_label_lines = 2;
constexpr int sheet_line_height = 10;  // a 7-row glyph and its spacing
constexpr int sheet_cell_width = thumb_width + sheet_margin;
constexpr int sheet_cell_height = thumb_height + 4 + sheet_label_lines * sheet_line_height + sheet_margin;
constexpr int sheet_header_height = 2 * sheet_margin + sheet_line_height;
// A group keeps at most this many candidate frames; past that it keeps every
// second one and samples half as often, so its middle stays the middle.
constexpr std::size_t sheet_max_candidates = 64;

struct Thumbnail {
    std::string owner;          // the scene call it belongs to
    std::string title, detail;  // the label's two lines
    std::vector<std::uint32_t> pixels;
};

struct ContactSheet {
    std::vector<Thumbnail> thumbs;
    std::string owner, group;       // what the candidates belong to ("" none yet)
    std::vector<Thumbnail> candidates;
    long offered = 0, stride = 1;   // frames offered to the group, sampling step
};

// The 2x2 box mean (rounded) of a 320x200 frame.
void halve_frame(const std::uint32_t* frame, std::vector<std::uint32_t>& thumb);
// Offers one presented frame (320x200) to its group (an order within the scene
// call `owner`); a new group ends the previous one, which keeps its middle
// candidate as its thumbnail. A group of one frame after another group of the
// same call is dropped: the music reports a new order a frame before the scene
// sees it and returns, and that frame belongs to the order before.
void sheet_offer(ContactSheet& sheet, const std::string& owner, const std::string& group,
                 const std::string& title, const std::string& detail, const std::uint32_t* frame);
// Ends the last group.
void sheet_finish(ContactSheet& sheet);

struct SheetLayout {
    int width = 0, height = 0;
};
SheetLayout sheet_layout(std::size_t thumbs);
// Top-left of thumbnail `index`.
void sheet_cell_origin(std::size_t index, int& x, int& y);
// The whole sheet: header line, then the thumbnails row by row, labels under each.
std::vector<std::uint32_t> render_sheet(const ContactSheet& sheet, const std::string& header,
                                        SheetLayout& layout);
