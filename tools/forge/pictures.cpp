// pictures.cpp -- writes every picture of the show.
#include "forge.h"
#include "pcx_writer.h"
#include "pictures.h"

static void write_picture(const std::string& root, const char* show_path, const Image& image)
{
    write_pcx(forge_output(root, show_path), to_pixels(image).data());
}

void write_pictures(const std::string& root)
{
    write_picture(root, "qd\\gfx\\misc\\meny1.pcx", make_menu_picture());
}

void write_picture_sheet(const std::string& /*root*/, const std::string& /*sheet_file*/) {}
