// pcx_writer.h -- writes 320x200 pictures as 24-bit run-length encoded PCX
// files (three planes, 320 bytes per plane line, standard 128-byte header, no
// palette), which the show's reader and ordinary image tools both open.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The file bytes for 64,000 pixels 0x00RRGGBB, rows of 320.
std::vector<std::uint8_t> encode_pcx(const std::uint32_t* pixels);
void write_pcx(const std::string& file, const std::uint32_t* pixels);
