#include "app/BatchSettings.h"

namespace kv {

CollisionPolicy ValidCollisionPolicy(int64_t value) {
    return value >= 0 && value <= 2 ? static_cast<CollisionPolicy>(value) : CollisionPolicy::Overwrite;
}

OutputFormat ValidOutputFormat(int64_t value) {
    return value >= 0 && value < static_cast<int64_t>(kOutputFormatExtensions.size()) ? static_cast<OutputFormat>(value)
                                                                                      : OutputFormat::Keep;
}

void BatchSettings::Validate() {
    policy = ValidCollisionPolicy(static_cast<int64_t>(policy));
    format = ValidOutputFormat(static_cast<int64_t>(format));
    if (jpegQuality < 1 || jpegQuality > 100) jpegQuality = kDefaultJpegQuality;
}

}  // namespace kv
