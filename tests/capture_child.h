// capture_child.h -- runs velmora_capture as a child process for the tests that
// hold its output (files and scene log) against what the show must do.
#pragma once

#include "tools/capture/scene_log.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// A fresh, empty folder for one test's files.
inline std::filesystem::path capture_scratch_dir(const std::string& name)
{
    const auto dir = std::filesystem::temp_directory_path() /
                     ("velmora_capture_" + std::to_string(::getpid()) + "_" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::string read_file(const std::filesystem::path& path)
{
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

// Starts the tool quietly with `arguments`, its output into `out`, without waiting (two runs can share the cores).
inline std::FILE* start_capture(const std::string& arguments, const std::filesystem::path& out)
{
    const std::string command = std::string("'") + VELMORA_CAPTURE + "' --quiet " + arguments + " > '" +
                                out.string() + "' 2>&1";
    return ::popen(command.c_str(), "r");
}

// Waits for the tool and returns its exit status (-1 if it did not exit normally).
inline int finish_capture(std::FILE* child)
{
    const int status = child != nullptr ? ::pclose(child) : -1;
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline int run_capture(const std::string& arguments, const std::filesystem::path& out)
{
    return finish_capture(start_capture(arguments, out));
}

inline SceneLog read_scene_log(const std::filesystem::path& path, std::string& error)
{
    SceneLog log;
    if (!parse_scene_log(read_file(path), log, error) && error.empty()) error = "unreadable log";
    return log;
}
