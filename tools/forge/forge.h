// forge.h -- what every part of the forge shares: loud failure, output paths,
// and the lists of files each part writes.
#pragma once

#include <string>

// Prints "velmora_forge: <message>" to standard error and exits with status 1.
[[noreturn]] void forge_fail(const std::string& message);

// The file below `root` for a path as the show writes it ("qd\gfx\bak\x.pcx"
// becomes root/qd/gfx/bak/x.pcx); creates the folders on the way.
std::string forge_output(const std::string& root, const char* show_path);

// Writes a whole file or fails loudly.
void forge_write_file(const std::string& file, const void* data, std::size_t size);

// Each part of the forge writes its files below root (the folder that holds qd/).
void write_pictures(const std::string& root);
void write_meshes(const std::string& root);
void write_songs(const std::string& root);
// The desktop icon in several sizes: root/icon/velmora-<size>.png.
void write_icon(const std::string& root);

// A labelled contact sheet (PNG) of every picture as the show uses it, read back
// from the files below root.
void write_picture_sheet(const std::string& root, const std::string& sheet_file);
