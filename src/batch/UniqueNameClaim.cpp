#include "batch/UniqueNameClaim.h"

#include <sys/stat.h>

#include <cerrno>

#include "base/AtomicFile.h"

namespace kv {

OutputWrite WriteBatchOutput(std::span<const uint8_t> bytes, const OutputDecision& decision) {
    AtomicFile file;
    IoResult written = file.Open(decision.path);
    if (written.ok()) written = file.Write(bytes.data(), bytes.size());
    if (!written.ok()) return {std::nullopt, written.message};
    if (!decision.unique) {
        if (IoResult committed = file.Commit(); !committed.ok()) return {std::nullopt, committed.message};
        return {decision.path, {}};
    }
    for (int32_t n = decision.number; n <= kMaxUniqueNumber; ++n) {
        const std::filesystem::path candidate = UniqueOutputPath(decision, n);
        // Names known to be taken are passed over without a try.
        struct stat st;
        if (n != decision.number && ::lstat(candidate.c_str(), &st) == 0) continue;
        const IoResult claimed = file.CommitNew(candidate);
        if (claimed.ok()) return {candidate, {}};
        if (claimed.error != EEXIST) return {std::nullopt, claimed.message};
    }
    return {std::nullopt, "Every unique name of " + decision.path.string() + " is taken"};
}

}  // namespace kv
