// mp4_video.cpp -- MP4 output through ffmpeg: an encoder fed through a pipe while
// the show runs, then one short run that encodes the sound and muxes both.
#include "mp4_video.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cctype>
#include <climits>
#include <csignal>
#include <cstring>

extern char** environ;

namespace {

// 0x00RRGGBB words as ffmpeg reads their bytes.
constexpr const char* pixel_format = std::endian::native == std::endian::little ? "bgr0" : "0rgb";

// ffmpeg quietly: only its errors, no prompt, files overwritten as the y4m and
// WAV outputs are.
std::vector<std::string> ffmpeg_start(const std::string& ffmpeg)
{
    return {ffmpeg, "-hide_banner", "-nostdin", "-loglevel", "error", "-y"};
}

void append(std::vector<std::string>& to, std::initializer_list<std::string> more)
{
    to.insert(to.end(), more.begin(), more.end());
}

// Starts `command` with `stdin_fd` (if >= 0) as its standard input; -1 if it cannot.
pid_t spawn(const std::vector<std::string>& command, int stdin_fd)
{
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdin_fd >= 0) posix_spawn_file_actions_adddup2(&actions, stdin_fd, STDIN_FILENO);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

// Waits for a child; true when it exited with status 0.
bool finished_well(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool fail(Mp4Video& video, const std::string& message)
{
    if (!video.failed) std::fprintf(stderr, "velmora_capture: %s\n", message.c_str());
    video.failed = true;
    return false;
}

void remove_parts(const Mp4Video& video)
{
    std::remove(video.video_part.c_str());
    if (video.own_audio) std::remove(video.audio.c_str());
}

// What an interrupted run (Ctrl-C, kill) removes: the unfinished MP4 and its
// parts, named in plain memory for the signal handler.
char unfinished[3][PATH_MAX];

void remove_unfinished_and_stop(int signal_number)
{
    for (const char* file : unfinished)
        if (file[0] != '\0') ::unlink(file);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void on_interrupt_remove(const Mp4Video* video)
{
    const std::string files[3] = {video ? video->path : "", video ? video->video_part : "",
                                  video && video->own_audio ? video->audio : ""};
    for (int i = 0; i < 3; ++i) {
        unfinished[i][0] = '\0';
        if (files[i].size() < PATH_MAX) std::memcpy(unfinished[i], files[i].c_str(), files[i].size() + 1);
    }
    const auto handler = video != nullptr ? remove_unfinished_and_stop : SIG_DFL;
    std::signal(SIGINT, handler);
    std::signal(SIGTERM, handler);
}

// A start that failed half-way: nothing of it stays.
bool give_up(Mp4Video& video, const std::string& message)
{
    fail(video, message);
    std::remove(video.path.c_str());
    on_interrupt_remove(nullptr);
    return false;
}

}  // namespace

bool video_is_mp4(const std::string& path)
{
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".mp4";
}

std::string find_program(const std::string& program, const char* search_path)
{
    const auto runnable = [](const std::string& file) {
        struct stat info {};
        return ::stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(file.c_str(), X_OK) == 0;
    };
    if (program.find('/') != std::string::npos) return runnable(program) ? program : "";
    const std::string folders = search_path != nullptr ? search_path : "";
    std::size_t start = 0;
    while (start <= folders.size() && !folders.empty()) {
        const std::size_t colon = std::min(folders.find(':', start), folders.size());
        const std::string folder = folders.substr(start, colon - start);
        const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + program;
        if (runnable(candidate)) return candidate;
        start = colon + 1;
    }
    return "";
}

std::vector<std::string> encoder_command(const std::string& ffmpeg, int width, int height, int scale,
                                         const std::string& video_part)
{
    std::vector<std::string> command = ffmpeg_start(ffmpeg);
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string scaled = std::to_string(width * scale) + ":" + std::to_string(height * scale);
    // Converted at the show's size to full-resolution YUV (a sixteenth of the
    // work of converting the scaled picture), then scaled: every chroma sample
    // of the 4:2:0 result lies inside one show pixel, so colour edges stay as
    // sharp as the luma's. The matrix is BT.709 and says so, as players assume
    // for pictures this size. "veryfast" takes half the time of x264's default
    // for the same quality and a file a tenth larger.
    append(command, {"-f", "rawvideo", "-pixel_format", pixel_format, "-video_size", size, "-framerate", "60",
                     "-i", "pipe:0", "-vf",
                     "scale=out_color_matrix=bt709:out_range=tv,format=yuv444p,scale=" + scaled +
                         ":flags=neighbor,format=yuv420p",
                     "-c:v", "libx264", "-preset", "veryfast", "-crf", "16", "-colorspace", "bt709",
                     "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv", "-an", "-f", "mp4",
                     video_part});
    return command;
}

std::vector<std::string> mux_command(const std::string& ffmpeg, const std::string& video_part,
                                     const std::string& audio, const std::string& mp4)
{
    std::vector<std::string> command = ffmpeg_start(ffmpeg);
    append(command, {"-i", video_part, "-i", audio, "-map", "0:v:0", "-map", "1:a:0", "-c:v", "copy", "-c:a", "aac",
                     "-b:a", "192k", "-movflags", "+faststart", "-f", "mp4", mp4});
    return command;
}

bool mp4_open(Mp4Video& video, const std::string& path, const std::string& audio_file, int width, int height,
              int scale)
{
    video = Mp4Video{};
    video.path = path;
    video.ffmpeg = find_program("ffmpeg", std::getenv("PATH"));
    if (video.ffmpeg.empty())
        return fail(video, "writing " + path + " needs ffmpeg, which is not on the PATH; install it "
                           "(Debian: apt-get install ffmpeg) or write raw video with --video FILE.y4m");
    // Fail now rather than after the whole run.
    std::FILE* probe = std::fopen(path.c_str(), "wb");
    if (probe == nullptr) return fail(video, "cannot write " + path + ": " + std::strerror(errno));
    std::fclose(probe);
    video.video_part = path + ".video-part";
    video.own_audio = audio_file.empty();
    video.audio = video.own_audio ? path + ".audio-part.wav" : audio_file;
    video.frame_bytes = std::size_t(width) * std::size_t(height) * 4u;

    // A frame the encoder does not take must fail the write, not end the tool.
    std::signal(SIGPIPE, SIG_IGN);
    on_interrupt_remove(&video);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return give_up(video, std::string("cannot make a pipe: ") + std::strerror(errno));
    video.encoder = spawn(encoder_command(video.ffmpeg, width, height, scale, video.video_part), ends[0]);
    ::close(ends[0]);
    if (video.encoder < 0) {
        ::close(ends[1]);
        return give_up(video, "cannot start " + video.ffmpeg);
    }
    video.pipe = ::fdopen(ends[1], "wb");
    if (video.pipe == nullptr) {
        ::close(ends[1]);
        fail(video, "cannot write to ffmpeg");
        return mp4_close(video);
    }
    return true;
}

bool mp4_write_frame(Mp4Video& video, const std::uint32_t* pixels)
{
    if (video.pipe == nullptr || video.failed) return false;
    if (std::fwrite(pixels, 1, video.frame_bytes, video.pipe) != video.frame_bytes)
        return fail(video, "ffmpeg stopped taking the frames of " + video.path + " (its message is above)");
    ++video.frames;
    return true;
}

bool mp4_close(Mp4Video& video)
{
    if (video.encoder < 0) return !video.failed;
    const bool sent = video.pipe == nullptr || std::fclose(video.pipe) == 0;
    video.pipe = nullptr;
    const bool encoded = finished_well(video.encoder);
    video.encoder = -1;
    if (!video.failed && video.frames == 0) fail(video, "no frames were shown, so " + video.path + " is not written");
    if (!video.failed && (!sent || !encoded)) fail(video, "ffmpeg could not encode " + video.path);
    if (!video.failed) {
        const pid_t mux = spawn(mux_command(video.ffmpeg, video.video_part, video.audio, video.path), -1);
        if (mux < 0 || !finished_well(mux)) fail(video, "ffmpeg could not add the sound to " + video.path);
    }
    remove_parts(video);
    if (video.failed) std::remove(video.path.c_str());
    on_interrupt_remove(nullptr);
    return !video.failed;
}
