#include "ui/browser/FileListMime.h"

#include <QMimeData>
#include <QStringList>

namespace kv::ui {

QMimeData* FileListMimeData(const std::vector<std::filesystem::path>& files, bool cut) {
    auto* data = new QMimeData;
    for (const MimePart& part : EncodeFileList(files, cut))
        data->setData(QString::fromStdString(part.type), QByteArray::fromStdString(part.data));
    return data;
}

bool OffersFiles(const QMimeData* data) {
    if (!data) return false;
    std::vector<std::string> types;
    for (const QString& format : data->formats()) types.push_back(format.toStdString());
    return OffersFileList(types);
}

std::optional<FileList> FilesOf(const QMimeData* data) {
    if (!data) return std::nullopt;
    return DecodeFileList([data](std::string_view type) -> std::optional<std::string> {
        const QString format = QString::fromUtf8(type.data(), static_cast<qsizetype>(type.size()));
        if (!data->hasFormat(format)) return std::nullopt;
        return data->data(format).toStdString();
    });
}

}  // namespace kv::ui
