// forge.cpp -- loud failure and output paths for the forge.
#include "forge.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void forge_fail(const std::string& message)
{
    std::fprintf(stderr, "velmora_forge: %s\n", message.c_str());
    std::exit(1);
}

static void make_folders(const std::string& file)
{
    for (std::size_t slash = file.find('/', 1); slash != std::string::npos;
         slash = file.find('/', slash + 1)) {
        const std::string folder = file.substr(0, slash);
        if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
            forge_fail("cannot create the folder " + folder + ": " + std::strerror(errno));
    }
}

std::string forge_output(const std::string& root, const char* show_path)
{
    std::string relative = show_path;
    for (char& c : relative)
        if (c == '\\') c = '/';
    std::string file = root.empty() ? relative : root + "/" + relative;
    make_folders(file);
    return file;
}

void forge_write_file(const std::string& file, const void* data, std::size_t size)
{
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) forge_fail("cannot write " + file + ": " + std::strerror(errno));
    const bool written = std::fwrite(data, 1, size, out) == size;
    if (std::fclose(out) != 0 || !written) forge_fail("cannot write " + file + ": " + std::strerror(errno));
}
