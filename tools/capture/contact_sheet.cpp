// contact_sheet.cpp -- thumbnail choice per group, layout and drawing of the sheet.
#include "contact_sheet.h"

#include "bitmap_font.h"

namespace {

constexpr std::uint32_t sheet_background = 0x202020u;
constexpr std::uint32_t title_colour = 0xFFFFFFu;
constexpr std::uint32_t detail_colour = 0xA0C8FFu;
constexpr int label_chars = (thumb_width + 1) / glyph_advance;

std::string fitted(const std::string& text)
{
    return static_cast<int>(text.size()) <= label_chars ? text : text.substr(0, static_cast<std::size_t>(label_chars));
}

void end_group(ContactSheet& sheet)
{
    const bool straggler = sheet.offered == 1 && !sheet.thumbs.empty() && sheet.thumbs.back().owner == sheet.owner;
    if (!sheet.candidates.empty() && !straggler) sheet.thumbs.push_back(sheet.candidates[sheet.candidates.size() / 2]);
    sheet.candidates.clear();
    sheet.offered = 0;
    sheet.stride = 1;
}

}  // namespace

void halve_frame(const std::uint32_t* frame, std::vector<std::uint32_t>& thumb)
{
    thumb.resize(static_cast<std::size_t>(thumb_width) * thumb_height);
    for (int y = 0; y < thumb_height; ++y) {
        for (int x = 0; x < thumb_width; ++x) {
            const std::uint32_t* p = frame + (2 * y) * 320 + 2 * x;
            const std::uint32_t quad[4] = {p[0], p[1], p[320], p[321]};
            std::uint32_t out = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                std::uint32_t sum = 2;  // rounds the mean of four
                for (std::uint32_t q : quad) sum += (q >> shift) & 255u;
                out |= (sum / 4) << shift;
            }
            thumb[static_cast<std::size_t>(y) * thumb_width + static_cast<std::size_t>(x)] = out;
        }
    }
}

void sheet_offer(ContactSheet& sheet, const std::string& owner, const std::string& group,
                 const std::string& title, const std::string& detail, const std::uint32_t* frame)
{
    if (owner != sheet.owner || group != sheet.group) {
        end_group(sheet);
        sheet.owner = owner;
        sheet.group = group;
    }
    const long index = sheet.offered++;
    if (index % sheet.stride != 0) return;
    if (sheet.candidates.size() == sheet_max_candidates) {
        std::vector<Thumbnail> kept;
        for (std::size_t i = 0; i < sheet.candidates.size(); i += 2) kept.push_back(std::move(sheet.candidates[i]));
        sheet.candidates = std::move(kept);
        sheet.stride *= 2;
        if (index % sheet.stride != 0) return;
    }
    Thumbnail thumb;
    thumb.owner = owner;
    thumb.title = title;
    thumb.detail = detail;
    halve_frame(frame, thumb.pixels);
    sheet.candidates.push_back(std::move(thumb));
}

void sheet_finish(ContactSheet& sheet)
{
    end_group(sheet);
    sheet.owner.clear();
    sheet.group.clear();
}

SheetLayout sheet_layout(std::size_t thumbs)
{
    const std::size_t rows = (thumbs + sheet_columns - 1) / sheet_columns;
    SheetLayout layout;
    layout.width = sheet_margin + sheet_columns * sheet_cell_width;
    layout.height = sheet_header_height + static_cast<int>(rows) * sheet_cell_height;
    return layout;
}

void sheet_cell_origin(std::size_t index, int& x, int& y)
{
    x = sheet_margin + static_cast<int>(index % sheet_columns) * sheet_cell_width;
    y = sheet_header_height + static_cast<int>(index / sheet_columns) * sheet_cell_height;
}

std::vector<std::uint32_t> render_sheet(const ContactSheet& sheet, const std::string& header,
                                        SheetLayout& layout)
{
    layout = sheet_layout(sheet.thumbs.size());
    std::vector<std::uint32_t> image(static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height),
                                     sheet_background);
    draw_text(image.data(), layout.width, layout.height, sheet_margin, sheet_margin, header, title_colour, 1);
    for (std::size_t i = 0; i < sheet.thumbs.size(); ++i) {
        const Thumbnail& t = sheet.thumbs[i];
        int x0 = 0, y0 = 0;
        sheet_cell_origin(i, x0, y0);
        for (int y = 0; y < thumb_height; ++y)
            for (int x = 0; x < thumb_width; ++x)
                image[static_cast<std::size_t>(y0 + y) * static_cast<std::size_t>(layout.width) + static_cast<std::size_t>(x0 + x)] =
                    t.pixels[static_cast<std::size_t>(y) * thumb_width + static_cast<std::size_t>(x)];
        const int label_y = y0 + thumb_height + 4;
        draw_text(image.data(), layout.width, layout.height, x0, label_y, fitted(t.title), title_colour, 1);
        draw_text(image.data(), layout.width, layout.height, x0, label_y + sheet_line_height, fitted(t.detail),
                  detail_colour, 1);
    }
    return image;
}
