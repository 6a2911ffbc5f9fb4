#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace kv {

// The colour space an embedded ICC profile describes, read from its header.
enum class ProfileSpace { Unknown, Rgb, Grey, Cmyk };
ProfileSpace IccProfileSpace(std::span<const uint8_t> icc);

// Converts CMYK pixels (C, M, Y, K bytes, 0 meaning no ink) into sRGB through the profile the file
// embeds, so that a print-ready photo keeps its colours instead of a naive ink formula.
class CmykToSrgb {
public:
    // Nothing when the profile is not a usable CMYK profile.
    static std::unique_ptr<CmykToSrgb> Create(std::span<const uint8_t> icc);
    ~CmykToSrgb();
    CmykToSrgb(const CmykToSrgb&) = delete;
    CmykToSrgb& operator=(const CmykToSrgb&) = delete;

    // count pixels of C, M, Y, K bytes into B, G, R bytes.
    void Convert(const uint8_t* cmyk, uint8_t* bgr, int32_t count) const;

private:
    explicit CmykToSrgb(void* transform) : transform_(transform) {}
    void* transform_;
};

}  // namespace kv
