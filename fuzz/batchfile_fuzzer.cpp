// Arbitrary bytes read as a batch file: the reader may only stop early, never read past the end or
// keep an item whose algorithm, correction or resolution could not be used as it stands.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

#include "batch/BatchFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto records = kv::DecodeBatchFile(std::span<const uint8_t>(data, size));
    if (!records) return 0;
    // Each record takes at least 21 bytes after the 60 of the header and count.
    if (records->size() * 21 > (size > 60 ? size - 60 : 0)) __builtin_trap();
    for (const kv::BatchRecord& record : *records) {
        const kv::StampedSettings& v = record.values;
        if (!kv::IsValidResizeAlgorithm(v.algorithm)) __builtin_trap();
        if (kv::ValidSizeCorrection(static_cast<int64_t>(v.correction)) != v.correction) __builtin_trap();
        if (!std::isfinite(v.dpi) || v.dpi < 1.0f || v.dpi > 100000.0f) __builtin_trap();
        if (record.path.string().find('\0') != std::string::npos) __builtin_trap();
    }
    return 0;
}
