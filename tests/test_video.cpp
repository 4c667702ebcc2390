// test_video.cpp -- MP4 video from the capture tool: how --video chooses MP4 or
// y4m, finding ffmpeg, the message without it, and a short run's MP4 as ffprobe
// and a decoder see it: one H.264 and one AAC stream of the same length, the
// show's pixels as crisp 4x4 squares.
#include "capture_child.h"

#include "tools/capture/capture_options.h"
#include "tools/capture/mp4_video.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

bool parse(std::vector<const char*> args, std::string& error)
{
    args.insert(args.begin(), "velmora_capture");
    CaptureOptions options;
    error.clear();
    return parse_capture_options(static_cast<int>(args.size()), args.data(), options, error);
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Standard output of a shell command.
std::string output_of(const std::string& command)
{
    std::string text;
    if (std::FILE* child = ::popen(command.c_str(), "r")) {
        char block[4096];
        for (std::size_t n; (n = std::fread(block, 1, sizeof block, child)) > 0;) text.append(block, n);
        ::pclose(child);
    }
    return text;
}

// Each stream of a media file as ffprobe reports it: key -> value.
std::vector<std::map<std::string, std::string>> probe_streams(const std::filesystem::path& file)
{
    const std::string text = output_of("ffprobe -v error -show_entries stream=codec_type,codec_name,width,height,"
                                       "nb_frames,duration,sample_rate,channels -of compact=p=0 '" +
                                       file.string() + "'");
    std::vector<std::map<std::string, std::string>> streams;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::map<std::string, std::string>& stream = streams.emplace_back();
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '|');) {
            const std::size_t equals = field.find('=');
            if (equals != std::string::npos) stream[field.substr(0, equals)] = field.substr(equals + 1);
        }
    }
    return streams;
}

// One picture as 8-bit RGB bytes, decoded by ffmpeg (for an MP4, its frame `frame`).
std::string decoded_rgb(const std::filesystem::path& file, int frame)
{
    return output_of("ffmpeg -v error -i '" + file.string() + "' -vf 'select=eq(n\\," + std::to_string(frame) +
                     ")' -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
}

}  // namespace

TEST(VideoOptions, TheNameChoosesMp4OrY4mAndAnythingElseIsRefused)
{
    std::string error;
    EXPECT_TRUE(video_is_mp4("show.mp4") && video_is_mp4("dir.y4m/SHOW.MP4"));
    EXPECT_FALSE(video_is_mp4("show.y4m") || video_is_mp4("mp4") || video_is_mp4("show.mp4.y4m"));
    EXPECT_TRUE(parse({"--video", "show.mp4", "--audio", "a.wav"}, error)) << error;
    EXPECT_TRUE(parse({"--video", "show.y4m", "--video-444"}, error)) << error;
    for (const std::vector<const char*>& bad : {std::vector<const char*>{"--video", "show.mkv"},
                                                {"--video", "show"},
                                                {"--video", "show.mp4", "--video-444"},
                                                {"--video-444"}}) {
        EXPECT_FALSE(parse(bad, error)) << bad[1];
        EXPECT_FALSE(error.empty());
    }
}

TEST(VideoOptions, FfmpegIsFoundOnlyAsAnExecutableFileInTheSearchPath)
{
    const auto dir = capture_scratch_dir("path");
    for (const char* folder : {"empty", "plain", "tool", "nested/ffmpeg"}) std::filesystem::create_directories(dir / folder);
    std::ofstream(dir / "plain" / "ffmpeg") << "not executable";
    std::ofstream(dir / "tool" / "ffmpeg") << "#!/bin/sh\n";
    std::filesystem::permissions(dir / "tool" / "ffmpeg", std::filesystem::perms::owner_all);
    const std::string d = dir.string();
    // A folder named ffmpeg, a file without the execute bit and a missing folder are passed over.
    EXPECT_EQ(find_program("ffmpeg", (d + "/empty:" + d + "/plain:" + d + "/nested:/no/such:" + d + "/tool").c_str()),
              d + "/tool/ffmpeg");
    EXPECT_EQ(find_program("ffmpeg", (d + "/empty:" + d + "/plain").c_str()), "");
    EXPECT_EQ(find_program("ffmpeg", ""), "");
    EXPECT_EQ(find_program("ffmpeg", nullptr), "");
    EXPECT_EQ(find_program(d + "/tool/ffmpeg", ""), d + "/tool/ffmpeg") << "a path is taken as it is";
    std::filesystem::remove_all(dir);
}

TEST(Mp4Video, WithoutFfmpegTheToolStopsBeforeTheShowWithAClearMessage)
{
    const auto dir = capture_scratch_dir("no_ffmpeg");
    const auto mp4 = dir / "x.mp4", out = dir / "out.txt";
    const std::string command = "env PATH='" + dir.string() + "' '" VELMORA_CAPTURE "' --quiet --max-frames 5 --video '" +
                                mp4.string() + "' > '" + out.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string message = read_file(out);
    EXPECT_TRUE(has(message, "needs ffmpeg") && has(message, "apt-get install ffmpeg") && has(message, ".y4m"))
        << message;
    EXPECT_FALSE(std::filesystem::exists(mp4)) << "nothing is left behind";
    std::filesystem::remove_all(dir);
}

TEST(Mp4Video, AShortRunGivesCrispH264AndAacOfTheSameLengthAndNoLeftovers)
{
    if (find_program("ffmpeg", std::getenv("PATH")).empty() || find_program("ffprobe", std::getenv("PATH")).empty())
        GTEST_SKIP() << "ffmpeg is not installed";
    const auto dir = capture_scratch_dir("mp4");
    const auto mp4 = dir / "x.mp4";
    ASSERT_EQ(run_capture("--max-frames 5 --video '" + (dir / "missing" / "x.mp4").string() + "'", dir / "out.txt"), 1);
    EXPECT_TRUE(has(read_file(dir / "out.txt"), "cannot write")) << "an unwritable MP4 fails before the show";

    constexpr int frames = 150, checked = 140;
    const std::string args = "--max-frames " + std::to_string(frames) + " --video '" + mp4.string() +
                             "' --frames-out '" + dir.string() + "' --range " + std::to_string(checked) + "-" +
                             std::to_string(checked);
    ASSERT_EQ(run_capture(args, dir / "out.txt"), 0) << read_file(dir / "out.txt");

    const auto streams = probe_streams(mp4);
    ASSERT_EQ(streams.size(), 2u) << output_of("ffprobe '" + mp4.string() + "' 2>&1");
    std::map<std::string, std::string> video = streams[0], audio = streams[1];
    if (video["codec_type"] != "video") std::swap(video, audio);
    EXPECT_EQ(video["codec_type"] + " " + video["codec_name"] + " " + video["width"] + "x" + video["height"] + " " +
                  video["nb_frames"],
              "video h264 1280x960 " + std::to_string(frames));
    EXPECT_EQ(audio["codec_type"] + " " + audio["codec_name"] + " " + audio["sample_rate"] + " " + audio["channels"],
              "audio aac 44100 2");
    const double video_s = std::atof(video["duration"].c_str()), audio_s = std::atof(audio["duration"].c_str());
    EXPECT_NEAR(video_s, frames / 60.0, 0.5 / 60.0);
    EXPECT_NEAR(audio_s, video_s, 1.0 / 60.0) << "the sound is as long as the picture";

    // Frame `checked` decoded, against the PNG the same run wrote of it: every show
    // pixel is a 4x4 square of (nearly) its colour. A smoothing scaler blends
    // neighbours along every edge: on this frame bilinear or bicubic scaling, encoded
    // alike, leaves the squares' border pixels 1.7 to 2 times as far off as their
    // centres; nearest-neighbour as close.
    const std::string source = decoded_rgb(dir / ("frame_000" + std::to_string(checked) + ".png"), 0);
    const std::string picture = decoded_rgb(mp4, checked);
    ASSERT_EQ(source.size(), 320u * 240u * 3u);
    ASSERT_EQ(picture.size(), 1280u * 960u * 3u);
    double error_sum[2] = {0, 0}, count[2] = {0, 0}, contrast = 0;
    for (int y = 0; y < 960; ++y)
        for (int x = 0; x < 1280; ++x) {
            const bool border = x % 4 == 0 || x % 4 == 3 || y % 4 == 0 || y % 4 == 3;
            for (int c = 0; c < 3; ++c) {
                const int want = static_cast<unsigned char>(source[std::size_t((y / 4) * 320 + x / 4) * 3 + c]);
                const int got = static_cast<unsigned char>(picture[std::size_t(y * 1280 + x) * 3 + c]);
                error_sum[border] += std::abs(want - got);
                count[border] += 1;
                if (x % 4 == 0 && x > 0)
                    contrast += std::abs(want - static_cast<unsigned char>(source[std::size_t((y / 4) * 320 + x / 4 - 1) * 3 + c]));
            }
        }
    const double centre_error = error_sum[0] / count[0], border_error = error_sum[1] / count[1];
    EXPECT_GT(contrast / (960.0 * 319 * 3), 2.0) << "the checked frame has detail to blur";
    EXPECT_LT(centre_error, 3.0);
    EXPECT_LT(border_error, centre_error * 1.2 + 0.15) << "centre " << centre_error << ", border " << border_error;

    const auto left = std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator{});
    EXPECT_EQ(left, 3) << "x.mp4, the PNG and the tool's output; the parts are gone";
    std::filesystem::remove_all(dir);
}
