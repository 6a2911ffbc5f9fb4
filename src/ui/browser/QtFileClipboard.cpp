#include "ui/browser/QtFileClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "ui/browser/FileListMime.h"

namespace kv::ui {

namespace {

const QMimeData* Data() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->mimeData() : nullptr;
}

}  // namespace

bool QtFileClipboard::HoldsFileList() const { return OffersFiles(Data()); }

std::optional<FileList> QtFileClipboard::ReadFileList() const { return FilesOf(Data()); }

void QtFileClipboard::WriteFileList(const std::vector<std::filesystem::path>& files, bool cut) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setMimeData(FileListMimeData(files, cut));
}

void QtFileClipboard::Clear() {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->clear();
}

}  // namespace kv::ui
