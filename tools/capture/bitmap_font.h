// bitmap_font.h -- a tiny built-in 5x7 font for the contact sheet's labels.
#pragma once

#include <cstdint>
#include <string>

constexpr int glyph_width = 5;
constexpr int glyph_height = 7;
constexpr int glyph_advance = 6;  // one column of space between letters

// The glyph's rows, top first, bit 4 the leftmost column. Lower case draws as
// upper case; characters the font lacks draw as a hollow box.
const std::uint8_t* glyph_rows(char c);
bool glyph_known(char c);
// Width in pixels of `text` drawn at `scale` (0 for an empty text).
int text_width(const std::string& text, int scale);
// Draws `text` with its top-left at (x, y), each font pixel a scale x scale
// block of `colour`; only pixels inside the width x height image are written.
void draw_text(std::uint32_t* image, int width, int height, int x, int y, const std::string& text,
               std::uint32_t colour, int scale);
