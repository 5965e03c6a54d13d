// The picture shrink alone, one operation per run, for bench/shrink.py to time beside
// vipsthumbnail and ImageMagick:
//   bench_shrink make OUT.jpg WIDTH HEIGHT   writes a photo-like JPEG (soft shapes, sensor noise)
//   bench_shrink shrink IN OUT.jpg           shrinks IN under 5,000,000 bytes; prints WIDTH HEIGHT

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <random>
#include <string>

#include "picture/shrink_picture.h"
#include "platform/file_stream.h"
#include "platform/picture_codec.h"

namespace {

platform::Pixels PhotoLike(int width, int height) {
    platform::Pixels pixels = platform::MakePixels(width, height, 3);
    std::minstd_rand noise(1);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = pixels.Row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            const double u = static_cast<double>(x) / width, v = static_cast<double>(y) / height;
            const double shade = 0.5 + 0.5 * std::sin(9 * u + 4 * std::cos(7 * v));
            for (int c = 0; c < 3; ++c) {
                const double value = 60 + 150 * shade * (0.6 + 0.2 * c) * (1 - 0.4 * v) + static_cast<int>(noise() % 25) - 12;
                p[c] = static_cast<std::uint8_t>(std::fmin(255, std::fmax(0, value)));
            }
        }
    }
    return pixels;
}

void WriteFile(const char* path, const std::string& bytes) {
    platform::FileStream out(platform::FilePath(path), platform::FileStream::Mode::Create);
    out.Write(bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 5 && std::strcmp(argv[1], "make") == 0) {
            WriteFile(argv[2], platform::EncodeJpeg(PhotoLike(std::atoi(argv[3]), std::atoi(argv[4])), 95));
            return 0;
        }
        if (argc == 4 && std::strcmp(argv[1], "shrink") == 0) {
            const picture::ShrunkPicture shrunk = picture::ShrinkPicture(platform::FilePath(argv[2]), 5'000'000);
            WriteFile(argv[3], shrunk.jpeg);
            std::printf("%d %d\n", shrunk.width, shrunk.height);
            return 0;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_shrink: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "usage: bench_shrink make OUT.jpg WIDTH HEIGHT | shrink IN OUT.jpg\n");
    return 2;
}
