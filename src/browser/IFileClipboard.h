#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "platform/FileListFormats.h"

namespace kv {

// The desktop's clipboard as the browsers use it: lists of files, copied or cut.
class IFileClipboard {
public:
    // Whether it holds a list of files, without reading it.
    virtual bool HoldsFileList() const = 0;
    virtual std::optional<FileList> ReadFileList() const = 0;
    virtual void WriteFileList(const std::vector<std::filesystem::path>& files, bool cut) = 0;
    // Empties it (after the files of a cut were moved).
    virtual void Clear() = 0;

protected:
    ~IFileClipboard() = default;
};

}  // namespace kv
