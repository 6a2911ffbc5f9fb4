#include "imageio/ColourProfile.h"

#include <lcms2.h>

#include <mutex>

namespace kv {

namespace {

// A damaged profile is no profile: Little CMS says why on stderr unless told not to.
void Quiet(cmsContext, cmsUInt32Number, const char*) {}

}  // namespace

ProfileSpace IccProfileSpace(std::span<const uint8_t> icc) {
    // The header is 128 bytes; the data colour space is the signature at byte 16.
    if (icc.size() < 128) return ProfileSpace::Unknown;
    const uint32_t space = static_cast<uint32_t>(icc[16]) << 24 | static_cast<uint32_t>(icc[17]) << 16 |
                           static_cast<uint32_t>(icc[18]) << 8 | icc[19];
    switch (space) {
        case cmsSigRgbData: return ProfileSpace::Rgb;
        case cmsSigGrayData: return ProfileSpace::Grey;
        case cmsSigCmykData: return ProfileSpace::Cmyk;
        default: return ProfileSpace::Unknown;
    }
}

std::unique_ptr<CmykToSrgb> CmykToSrgb::Create(std::span<const uint8_t> icc) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { cmsSetLogErrorHandler(Quiet); });
    if (IccProfileSpace(icc) != ProfileSpace::Cmyk || icc.size() > UINT32_MAX) return nullptr;
    cmsHPROFILE input = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
    if (!input) return nullptr;
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM transform = nullptr;
    if (srgb && cmsGetColorSpace(input) == cmsSigCmykData)
        transform = cmsCreateTransform(input, TYPE_CMYK_8, srgb, TYPE_BGR_8, INTENT_PERCEPTUAL, 0);
    if (srgb) cmsCloseProfile(srgb);
    cmsCloseProfile(input);
    if (!transform) return nullptr;
    return std::unique_ptr<CmykToSrgb>(new CmykToSrgb(transform));
}

CmykToSrgb::~CmykToSrgb() { cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform_)); }

void CmykToSrgb::Convert(const uint8_t* cmyk, uint8_t* bgr, int32_t count) const {
    if (count > 0) cmsDoTransform(static_cast<cmsHTRANSFORM>(transform_), cmyk, bgr, static_cast<cmsUInt32Number>(count));
}

}  // namespace kv
