#pragma once

// Helpers shared by the codec tests: decoding and encoding whole images in memory, simple PNM files
// for the command-line JPEG tools, a photograph-like synthetic image, and a way to take a JPEG stream
// apart into its segments and put it together again after changing one of them.

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/JpegCoder.h"
#include "codecs/JpegIStream.h"
#include "codecs/JpegOStream.h"
#include "codecs/SlimJpegDecoder.h"
#include "common/TestFiles.h"

namespace kv::test {

using Bytes = std::vector<uint8_t>;

struct Image {
    unsigned width = 0;
    unsigned height = 0;
    int channels = 3;
    Bytes pixels;  // top row first, channels bytes a pixel

    const uint8_t* Row(unsigned y) const { return pixels.data() + static_cast<size_t>(y) * width * channels; }
    uint8_t* Row(unsigned y) { return pixels.data() + static_cast<size_t>(y) * width * channels; }
};

// Decodes a whole stream; throws what the decoder throws.
inline Image DecodeJpeg(const Bytes& jpeg) {
    IQZStreamMem stream(jpeg.data(), jpeg.size());
    Image image;
    uint8_t colour = 0;
    auto decoder = SlimJpeg::CreateDecoder(stream, &image.width, &image.height, &colour, nullptr, nullptr, nullptr);
    image.channels = colour ? 3 : 1;
    image.pixels.resize(static_cast<size_t>(image.width) * image.height * image.channels);
    for (unsigned y = 0; y < image.height; ++y)
        std::copy_n(decoder->ReadRow(), static_cast<size_t>(image.width) * image.channels, image.Row(y));
    return image;
}

struct EncodeOptions {
    int quality = 90;
    bool chroma422 = false;
    bool singleDqt = false;
    int densityUnit = 2;
    uint16_t xDensity = 300;
    uint16_t yDensity = 300;
};

inline Bytes EncodeJpeg(const Image& image, const EncodeOptions& options = {}) {
    OQZStream stream;
    auto coder = SlimJpeg::CreateCoder(stream, image.width, image.height, image.channels == 3, options.quality,
                                       options.chroma422, options.singleDqt, options.densityUnit, options.xDensity,
                                       options.yDensity);
    for (unsigned y = 0; y < image.height; ++y) coder->WriteRow(image.Row(y));
    return stream.TakeBytes();
}

// A deterministic picture with what photographs have: smooth gradients, fine texture, hard edges
// and a little noise.
inline Image SyntheticPhoto(unsigned width, unsigned height, int channels = 3) {
    Image image{width, height, channels, Bytes(static_cast<size_t>(width) * height * channels)};
    uint32_t seed = 12345;
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) {
                seed = seed * 1664525u + 1013904223u;
                const double gradient = 255.0 * (x + 2.0 * y + 40.0 * c) / (width + 2.0 * height + 80.0);
                const double texture = 30.0 * std::sin(x * 0.35 + c) * std::cos(y * 0.21);
                const double edge = ((x / 23 + y / 17) % 2) ? 45.0 : -45.0;
                const double noise = static_cast<double>(seed >> 28) - 7.5;
                const double v = gradient + texture + edge + noise;
                image.Row(y)[static_cast<size_t>(x) * channels + c] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
            }
    return image;
}

inline void WritePnm(const std::filesystem::path& path, const Image& image) {
    std::ofstream out(path, std::ios::binary);
    out << (image.channels == 3 ? "P6" : "P5") << "\n" << image.width << " " << image.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(image.pixels.data()), static_cast<std::streamsize>(image.pixels.size()));
}

inline Image ReadPnm(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    unsigned maxValue = 0;
    Image image;
    in >> magic >> image.width >> image.height >> maxValue;
    in.get();
    image.channels = magic == "P6" ? 3 : 1;
    image.pixels.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return image;
}

// Runs a shell command line; true when it exits with 0.
inline bool RunCommand(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

inline bool HaveJpegTools() { return RunCommand("command -v cjpeg") && RunCommand("command -v djpeg"); }

// The largest difference of any sample and the mean difference.
struct Difference {
    int max = 0;
    double mean = 0;
};

inline Difference Compare(const Image& a, const Image& b) {
    Difference d;
    if (a.width != b.width || a.height != b.height || a.channels != b.channels || a.pixels.size() != b.pixels.size()) {
        d.max = 1000;
        return d;
    }
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        const int diff = std::abs(a.pixels[i] - b.pixels[i]);
        d.max = std::max(d.max, diff);
        sum += diff;
    }
    d.mean = a.pixels.empty() ? 0 : sum / static_cast<double>(a.pixels.size());
    return d;
}

inline double Psnr(const Image& a, const Image& b) {
    double squares = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        const double diff = a.pixels[i] - b.pixels[i];
        squares += diff * diff;
    }
    const double mse = squares / static_cast<double>(a.pixels.size());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// A JPEG stream as its segments: SOI, every marker segment up to and including SOS, then the
// entropy-coded data and whatever follows it as one raw tail.
struct Segment {
    uint8_t marker = 0;
    Bytes payload;  // without marker and length
};

struct SplitStream {
    std::vector<Segment> segments;  // after SOI, up to and including SOS
    Bytes tail;                     // the scan data, EOI and anything after

    Segment* Find(uint8_t marker) {
        for (Segment& s : segments)
            if (s.marker == marker) return &s;
        return nullptr;
    }
};

inline SplitStream Split(const Bytes& jpeg) {
    SplitStream split;
    size_t pos = 2;
    while (pos + 4 <= jpeg.size()) {
        Segment s;
        s.marker = jpeg[pos + 1];
        const size_t length = (size_t{jpeg[pos + 2]} << 8) | jpeg[pos + 3];
        s.payload.assign(jpeg.begin() + static_cast<ptrdiff_t>(pos + 4), jpeg.begin() + static_cast<ptrdiff_t>(pos + 2 + length));
        pos += 2 + length;
        split.segments.push_back(std::move(s));
        if (split.segments.back().marker == 0xDA) break;
    }
    split.tail.assign(jpeg.begin() + static_cast<ptrdiff_t>(pos), jpeg.end());
    return split;
}

inline Bytes Join(const SplitStream& split) {
    Bytes out{0xFF, 0xD8};
    for (const Segment& s : split.segments) {
        const size_t length = s.payload.size() + 2;
        out.insert(out.end(), {0xFF, s.marker, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
        out.insert(out.end(), s.payload.begin(), s.payload.end());
    }
    out.insert(out.end(), split.tail.begin(), split.tail.end());
    return out;
}

}  // namespace kv::test
