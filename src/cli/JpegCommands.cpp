#include "cli/JpegCommands.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/AtomicFile.h"
#include "cli/CliSupport.h"
#include "codecs/JpegCoder.h"
#include "codecs/JpegOStream.h"
#include "codecs/SlimJpegDecoder.h"
#include "imageio/Bitmap.h"

namespace kv::cli {

namespace {

constexpr const char* kUsage =
    "usage: kvscale jpeg decode IN.jpg OUT.ppm\n"
    "       kvscale jpeg encode IN OUT.jpg [--quality Q]\n";

int Usage(const std::string& message) {
    std::fprintf(stderr, "kvscale jpeg: %s\n%s", message.c_str(), kUsage);
    return 2;
}

int Failure(const std::string& message) {
    std::fprintf(stderr, "kvscale jpeg: %s\n", message.c_str());
    return 1;
}

// Collects the output in memory-sized pieces and hands them to the atomic writer.
class FileSink {
public:
    explicit FileSink(AtomicFile& file) : file_(file) { buffer_.reserve(kChunk); }
    bool Append(const void* data, size_t size) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        buffer_.insert(buffer_.end(), bytes, bytes + size);
        return buffer_.size() < kChunk || Flush();
    }
    bool Flush() {
        const IoResult result = file_.Write(buffer_.data(), buffer_.size());
        buffer_.clear();
        if (!result.ok()) message_ = result.message;
        return result.ok();
    }
    const std::string& message() const { return message_; }

private:
    static constexpr size_t kChunk = size_t{1} << 20;
    AtomicFile& file_;
    std::vector<uint8_t> buffer_;
    std::string message_;
};

int Decode(const std::filesystem::path& in, const std::filesystem::path& out) {
    std::vector<uint8_t> bytes;
    if (IoResult read = ReadWholeFile(in, bytes); !read.ok()) return Failure(read.message);

    AtomicFile file;
    try {
        IQZStreamMem stream(bytes.data(), bytes.size());
        unsigned width = 0, height = 0;
        uint8_t colour = 0;
        auto decoder = SlimJpeg::CreateDecoder(stream, &width, &height, &colour, nullptr, nullptr, nullptr);
        if (IoResult opened = file.Open(out); !opened.ok()) return Failure(opened.message);
        FileSink sink(file);
        const std::string header =
            std::string(colour ? "P6" : "P5") + "\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
        bool ok = sink.Append(header.data(), header.size());
        const size_t rowBytes = static_cast<size_t>(width) * (colour ? 3 : 1);
        for (unsigned y = 0; ok && y < height; ++y) ok = sink.Append(decoder->ReadRow(), rowBytes);
        if (!ok || !sink.Flush()) return Failure(sink.message());
    } catch (const SlimJpeg::Error&) {
        return Failure(in.string() + ": not a JPEG image this decoder reads (Jpeg error)");
    } catch (const std::bad_alloc&) {
        return Failure(in.string() + ": out of memory");
    }
    if (IoResult committed = file.Commit(); !committed.ok()) return Failure(committed.message);
    return 0;
}

// An image to encode, as R, G, B rows.
struct PnmImage {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<uint8_t> rgb;
    uint16_t dpiX = 96;
    uint16_t dpiY = 96;
};

// A binary PPM (P6) or PGM (P5) with 8-bit samples.
bool ReadPnm(const std::vector<uint8_t>& bytes, PnmImage& image) {
    size_t pos = 0;
    const auto skipSpace = [&] {
        for (;;) {
            while (pos < bytes.size() && std::strchr(" \t\r\n", bytes[pos])) ++pos;
            if (pos < bytes.size() && bytes[pos] == '#') {
                while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
                continue;
            }
            return;
        }
    };
    const auto number = [&](unsigned& value) {
        skipSpace();
        const char* first = reinterpret_cast<const char*>(bytes.data()) + pos;
        const char* last = reinterpret_cast<const char*>(bytes.data()) + bytes.size();
        const auto [end, ec] = std::from_chars(first, last, value);
        if (ec != std::errc() || end == first) return false;
        pos += static_cast<size_t>(end - first);
        return true;
    };
    if (bytes.size() < 2 || bytes[0] != 'P' || (bytes[1] != '5' && bytes[1] != '6')) return false;
    const bool colour = bytes[1] == '6';
    pos = 2;
    unsigned maxValue = 0;
    if (!number(image.width) || !number(image.height) || !number(maxValue)) return false;
    if (maxValue != 255 || image.width == 0 || image.height == 0 || image.width > 65535 || image.height > 65535)
        return false;
    if (pos >= bytes.size()) return false;
    ++pos;  // the single white-space byte before the samples
    const size_t pixels = static_cast<size_t>(image.width) * image.height;
    const size_t need = pixels * (colour ? 3 : 1);
    if (bytes.size() - pos < need) return false;
    if (colour) {
        image.rgb.assign(bytes.begin() + static_cast<ptrdiff_t>(pos), bytes.begin() + static_cast<ptrdiff_t>(pos + need));
    } else {
        image.rgb.resize(pixels * 3);
        for (size_t i = 0; i < pixels; ++i) image.rgb[3 * i] = image.rgb[3 * i + 1] = image.rgb[3 * i + 2] = bytes[pos + i];
    }
    return true;
}

uint16_t Density(float dpi) {
    if (!(dpi >= 1.0f)) return 96;
    return static_cast<uint16_t>(std::min(65535.0f, std::round(dpi)));
}

// Any file the imaging layer opens, locked as 24-bit rows.
bool ReadWithBitmap(const std::filesystem::path& path, PnmImage& image, std::string& message) {
    auto bitmap = Bitmap::FromFile(path);
    if (bitmap->GetLastStatus() != Status::Ok) {
        message = bitmap->GetLastErrorMessage();
        return false;
    }
    const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) {
        message = "the image is too large for a JPEG file";
        return false;
    }
    BitmapData data;
    if (bitmap->LockBits({0, 0, width, height}, ImageLockMode::Read, PixelFormat24bppRGB, &data) != Status::Ok) {
        message = bitmap->GetLastErrorMessage();
        return false;
    }
    image.width = static_cast<unsigned>(width);
    image.height = static_cast<unsigned>(height);
    image.rgb.resize(static_cast<size_t>(width) * height * 3);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* bgr = data.scan0 + static_cast<ptrdiff_t>(y) * data.stride;
        uint8_t* rgb = image.rgb.data() + static_cast<size_t>(y) * width * 3;
        for (int32_t x = 0; x < width; ++x) {
            rgb[3 * x] = bgr[3 * x + 2];
            rgb[3 * x + 1] = bgr[3 * x + 1];
            rgb[3 * x + 2] = bgr[3 * x];
        }
    }
    bitmap->UnlockBits(&data);
    image.dpiX = Density(bitmap->GetHorizontalResolution());
    image.dpiY = Density(bitmap->GetVerticalResolution());
    return true;
}

int Encode(const std::filesystem::path& in, const std::filesystem::path& out, int quality) {
    PnmImage image;
    char magic[2] = {};
    std::ifstream(in, std::ios::binary).read(magic, 2);
    if (magic[0] == 'P' && (magic[1] == '5' || magic[1] == '6')) {
        std::vector<uint8_t> bytes;
        if (IoResult read = ReadWholeFile(in, bytes); !read.ok()) return Failure(read.message);
        if (!ReadPnm(bytes, image)) return Failure(in.string() + ": not a readable PPM or PGM image");
    } else {
        std::string message;
        if (!ReadWithBitmap(in, image, message))
            return Failure(in.string() + ": " + (message.empty() ? "cannot be opened as an image" : message));
    }

    kv::OQZStream stream;
    try {
        auto coder = SlimJpeg::CreateCoder(stream, image.width, image.height, true, quality, false, false, 2,
                                           image.dpiX, image.dpiY);
        const size_t rowBytes = static_cast<size_t>(image.width) * 3;
        for (unsigned y = 0; y < image.height; ++y) coder->WriteRow(image.rgb.data() + rowBytes * y);
    } catch (const SlimJpeg::Error&) {
        return Failure(in.string() + ": cannot be encoded (Jpeg error)");
    } catch (const std::bad_alloc&) {
        return Failure(in.string() + ": out of memory");
    }
    if (IoResult written = WriteFileAtomically(out, stream.bytes()); !written.ok()) return Failure(written.message);
    return 0;
}

}  // namespace

int RunJpegCommand(int argc, char** argv) {
    std::vector<std::string_view> words(argv + 1, argv + argc);
    if (words.empty()) return Usage("missing decode or encode");
    const std::string_view verb = words[0];
    const InterruptGuard interrupts;
    if (verb == "decode") {
        // "--" may end the (absent) options before the two file names.
        if (words.size() == 4 && words[1] == "--") words.erase(words.begin() + 1);
        if (words.size() != 3) return Usage("decode takes IN.jpg and OUT.ppm");
        return Decode(std::string(words[1]), std::string(words[2]));
    }
    if (verb == "encode") {
        int quality = 75;
        std::vector<std::string_view> files;
        bool optionsEnded = false;
        for (size_t i = 1; i < words.size(); ++i) {
            if (optionsEnded) {
                files.push_back(words[i]);
            } else if (words[i] == "--") {
                optionsEnded = true;
            } else if (words[i] == "--quality") {
                if (i + 1 >= words.size()) return Usage("--quality needs a value");
                const std::string_view text = words[++i];
                const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), quality);
                if (ec != std::errc() || end != text.data() + text.size() || quality < 1 || quality > 100)
                    return Usage("--quality takes a whole number from 1 to 100");
            } else if (words[i].starts_with("-") && words[i].size() > 1) {
                return Usage("unknown option " + std::string(words[i]));
            } else {
                files.push_back(words[i]);
            }
        }
        if (files.size() != 2) return Usage("encode takes IN and OUT.jpg");
        return Encode(std::string(files[0]), std::string(files[1]), quality);
    }
    return Usage("unknown jpeg command " + std::string(verb));
}

}  // namespace kv::cli
