// main.cpp -- velmora_forge: writes every asset of the show below a folder.
#include "forge.h"

#include <cstdio>
#include <cstring>
#include <string>

static void usage()
{
    std::puts("usage: velmora_forge [--out DIR] [--sheet FILE.png]\n"
              "  Writes the show's data (DIR/qd/...; DIR defaults to the working directory)\n"
              "  and the desktop icon (DIR/icon/velmora-<size>.png).\n"
              "  --sheet FILE.png  also draws a labelled contact sheet of every picture.");
}

int main(int argc, char** argv)
{
    std::string root = ".";
    std::string sheet;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            root = argv[++i];
        } else if (std::strcmp(argv[i], "--sheet") == 0 && i + 1 < argc) {
            sheet = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0) {
            usage();
            return 0;
        } else {
            usage();
            forge_fail(std::string("unknown option ") + argv[i]);
        }
    }
    write_pictures(root);
    write_meshes(root);
    write_songs(root);
    write_icon(root);
    if (!sheet.empty()) write_picture_sheet(root, sheet);
    return 0;
}
