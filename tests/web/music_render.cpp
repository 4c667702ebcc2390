// music_render.cpp -- renders each song named on the command line with
// libopenmpt, whole and once, in frame-locked blocks of 1/60 s at 44,100 and at
// 22,050 Hz, and prints one line per song and rate: the frames rendered and the
// SHA-256 of the float samples. Built natively and for the browser (run by
// node); the test web_music holds the two builds of libopenmpt to the same bytes.
#include "tools/common/sha256.h"

#include <libopenmpt/libopenmpt.hpp>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    for (int a = 1; a < argc; ++a) {
        std::ifstream in(argv[a], std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in && !in.eof()) {
            std::fprintf(stderr, "music_render: cannot read %s\n", argv[a]);
            return 1;
        }
        for (const int rate : {44100, 22050}) {
            openmpt::module module(bytes, std::clog, std::map<std::string, std::string>{{"play.at_end", "stop"}});
            Sha256 sha;
            sha256_start(sha);
            std::vector<float> block(2 * (rate / 60 + 1));
            long long frames = 0;
            for (long long k = 0;; ++k) {
                const long long want = (k + 1) * rate / 60 - k * rate / 60;
                const std::size_t got = module.read_interleaved_stereo(rate, std::size_t(want), block.data());
                sha256_add(sha, block.data(), got * 2 * sizeof(float));
                frames += static_cast<long long>(got);
                if (got < std::size_t(want)) break;
            }
            std::printf("%s %d Hz: %lld frames, %s\n", argv[a], rate, frames, sha256_finish_hex(sha).c_str());
        }
    }
    return 0;
}
