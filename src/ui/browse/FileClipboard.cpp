#include "ui/browse/FileClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace kv::ui {

bool OffersFiles(const QMimeData* data) {
    if (!data) return false;
    std::vector<std::string> types;
    for (const QString& format : data->formats()) types.push_back(format.toStdString());
    return OffersFileList(types);
}

std::optional<FileList> FilesOf(const QMimeData* data) {
    if (!data) return std::nullopt;
    return DecodeFileList([data](std::string_view type) -> std::optional<std::string> {
        const QString mime = QString::fromLatin1(type.data(), static_cast<int>(type.size()));
        if (!data->hasFormat(mime)) return std::nullopt;
        return data->data(mime).toStdString();
    });
}

bool FileClipboard::HoldsFileList() const { return OffersFiles(QGuiApplication::clipboard()->mimeData()); }

std::optional<FileList> FileClipboard::ReadFileList() const { return FilesOf(QGuiApplication::clipboard()->mimeData()); }

void FileClipboard::WriteFileList(const std::vector<std::filesystem::path>& files, bool cut) {
    auto* data = new QMimeData;
    for (const MimePart& part : EncodeFileList(files, cut))
        data->setData(QString::fromStdString(part.type), QByteArray::fromStdString(part.data));
    QGuiApplication::clipboard()->setMimeData(data);
}

void FileClipboard::Clear() { QGuiApplication::clipboard()->clear(); }

}  // namespace kv::ui
