#pragma once

#include "browser/IFileClipboard.h"

class QMimeData;

namespace kv::ui {

// The files that dragged or copied data offers, in the formats file managers write.
bool OffersFiles(const QMimeData* data);
std::optional<FileList> FilesOf(const QMimeData* data);

// The desktop's clipboard as the folder browser uses it: lists of files in the formats file
// managers read and write (a cut marked for GNOME and KDE alike).
class FileClipboard final : public IFileClipboard {
public:
    bool HoldsFileList() const override;
    std::optional<FileList> ReadFileList() const override;
    void WriteFileList(const std::vector<std::filesystem::path>& files, bool cut) override;
    void Clear() override;
};

}  // namespace kv::ui
