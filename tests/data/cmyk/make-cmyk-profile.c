/* Writes a small CMYK ICC profile of our own (no outside material) with Little CMS: CMYK to Lab
   through the plain ink formula (R = (1 - C)(1 - K), ...) and sRGB, and back with full black
   generation. Its colours are not those of any press; it exists so that tests have a real CMYK
   profile to embed. Build: cc make-cmyk-profile.c -llcms2 -o make-cmyk-profile
   Usage: make-cmyk-profile OUT.icc [SRGB-OUT.icc] */
#include <lcms2.h>
#include <stdio.h>

static cmsHTRANSFORM toLab, fromLab;

static int CmykToLab(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    double k = in[3] / 65535.0, rgb[3];
    for (int i = 0; i < 3; ++i) rgb[i] = (1.0 - in[i] / 65535.0) * (1.0 - k);
    cmsCIELab lab;
    cmsDoTransform(toLab, rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    (void)cargo;
    return 1;
}

static int LabToCmyk(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    cmsCIELab lab;
    cmsLabEncoded2Float(&lab, in);
    double rgb[3];
    cmsDoTransform(fromLab, &lab, rgb, 1);
    double c = 1 - rgb[0], m = 1 - rgb[1], y = 1 - rgb[2];
    for (int i = 0; i < 3; ++i) if (rgb[i] < 0) rgb[i] = 0;
    double k = c < m ? (c < y ? c : y) : (m < y ? m : y);
    if (k < 0) k = 0;
    if (k > 1) k = 1;
    double v[4] = {k < 1 ? (c - k) / (1 - k) : 0, k < 1 ? (m - k) / (1 - k) : 0, k < 1 ? (y - k) / (1 - k) : 0, k};
    for (int i = 0; i < 4; ++i) {
        double x = v[i] < 0 ? 0 : v[i] > 1 ? 1 : v[i];
        out[i] = (cmsUInt16Number)(x * 65535.0 + 0.5);
    }
    (void)cargo;
    return 1;
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    cmsHPROFILE srgb = cmsCreate_sRGBProfile(), lab = cmsCreateLab4Profile(NULL);
    toLab = cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_PERCEPTUAL, 0);
    fromLab = cmsCreateTransform(lab, TYPE_Lab_DBL, srgb, TYPE_RGB_DBL, INTENT_PERCEPTUAL, 0);

    cmsHPROFILE p = cmsCreateProfilePlaceholder(NULL);
    cmsSetProfileVersion(p, 2.1);
    cmsSetDeviceClass(p, cmsSigOutputClass);
    cmsSetColorSpace(p, cmsSigCmykData);
    cmsSetPCS(p, cmsSigLabData);
    cmsMLU* text = cmsMLUalloc(NULL, 1);
    cmsMLUsetASCII(text, "en", "US", "KARVO test CMYK");
    cmsWriteTag(p, cmsSigProfileDescriptionTag, text);
    cmsMLUsetASCII(text, "en", "US", "No copyright, use freely");
    cmsWriteTag(p, cmsSigCopyrightTag, text);
    cmsWriteTag(p, cmsSigMediaWhitePointTag, cmsD50_XYZ());

    cmsPipeline* a2b = cmsPipelineAlloc(NULL, 4, 3);
    cmsStage* clut = cmsStageAllocCLut16bit(NULL, 7, 4, 3, NULL);
    cmsStageSampleCLut16bit(clut, CmykToLab, NULL, 0);
    cmsPipelineInsertStage(a2b, cmsAT_BEGIN, clut);
    cmsWriteTag(p, cmsSigAToB0Tag, a2b);

    cmsPipeline* b2a = cmsPipelineAlloc(NULL, 3, 4);
    cmsStage* back = cmsStageAllocCLut16bit(NULL, 11, 3, 4, NULL);
    cmsStageSampleCLut16bit(back, LabToCmyk, NULL, 0);
    cmsPipelineInsertStage(b2a, cmsAT_BEGIN, back);
    cmsWriteTag(p, cmsSigBToA0Tag, b2a);

    if (!cmsSaveProfileToFile(p, argv[1])) return 1;
    if (argc > 2 && !cmsSaveProfileToFile(srgb, argv[2])) return 1;
    return 0;
}
