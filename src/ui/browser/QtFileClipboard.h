#pragma once

#include "browser/IFileClipboard.h"

namespace kv::ui {

// The desktop's clipboard, holding file lists in the formats file managers exchange.
class QtFileClipboard final : public IFileClipboard {
public:
    bool HoldsFileList() const override;
    std::optional<FileList> ReadFileList() const override;
    void WriteFileList(const std::vector<std::filesystem::path>& files, bool cut) override;
    void Clear() override;
};

}  // namespace kv::ui
