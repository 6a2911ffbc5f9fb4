#pragma once

#include <optional>
#include <vector>

#include "platform/FileListFormats.h"

class QMimeData;

namespace kv::ui {

// The file lists of the clipboard and of drag and drop as Qt carries them.
QMimeData* FileListMimeData(const std::vector<std::filesystem::path>& files, bool cut);
bool OffersFiles(const QMimeData* data);
std::optional<FileList> FilesOf(const QMimeData* data);

}  // namespace kv::ui
