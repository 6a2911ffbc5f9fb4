#include "engine/StageCount.h"

namespace kv {

namespace lanczos {

int32_t StageCount(double min, double max) {
    if (max <= 0.5) return 6;  // copy, area rows, area columns, two sharpenings, copy
    if (max <= 1.5) return 3 + (min < 1.5);
    // copy, Lanczos, guide, blur, range, blur, copy; the area pass of the 1.5 intermediate and the
    // sharpening when the smaller ratio asks for them
    return 7 + (min <= 1.5) + (min < 1.5);
}

}  // namespace lanczos

namespace cubic {

int32_t StageCount(double min, double max) {
    if (max <= 0.5) return 6;
    if (max <= 1.5) return 3 + (min < 1.5);
    // copy, Catmull-Rom, range, copy; the blur from a threefold enlargement on
    return 4 + (max >= 3) + (min <= 1.5) + (min < 1.5);
}

}  // namespace cubic

}  // namespace kv
