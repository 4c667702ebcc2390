// data_path.cpp -- the show's data files, found where the host says they are.
#include "assets.h"

#include "../platform/host/host.h"

std::string data_path(const char* path)
{
    return host_data_path(path);
}

std::FILE* open_data_file(const char* path, const char* mode)
{
    return std::fopen(data_path(path).c_str(), mode);
}
