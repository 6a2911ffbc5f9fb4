#include "ui/bridge/FileDialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace kv::ui {

const char* const kOpenImageFilter =
    "All Supported Files (*.jpg *.tif *.bmp *.gif *.png);;JPEG Files (*.jpg);;TIFF Files (*.tif);;"
    "Bitmap Files (*.bmp);;GIF Files (*.gif);;PNG Files (*.png)";
const char* const kSaveImageFilter =
    "JPEG Files (*.jpg);;TIFF Files (*.tif);;Bitmap Files (*.bmp);;GIF Files (*.gif);;PNG Files (*.png)";

namespace {
QString ToQt(const std::filesystem::path& path) { return QFile::decodeName(path.string().c_str()); }
std::filesystem::path FromQt(const QString& path) { return std::filesystem::path(QFile::encodeName(path).toStdString()); }
}  // namespace

std::string FilterExtension(const std::string& filter) {
    const size_t star = filter.find("*.");
    if (star == std::string::npos) return {};
    const size_t end = filter.find_first_of(" )", star);
    return filter.substr(star + 1, end == std::string::npos ? std::string::npos : end - star - 1);
}

std::optional<std::filesystem::path> QtFileDialogs::ChooseImageToOpen(QWidget* parent,
                                                                      const std::filesystem::path& folder) {
    const QString chosen = QFileDialog::getOpenFileName(parent, QStringLiteral("Open"), ToQt(folder),
                                                        QString::fromLatin1(kOpenImageFilter));
    if (chosen.isEmpty()) return std::nullopt;
    return FromQt(chosen);
}

std::optional<std::filesystem::path> QtFileDialogs::ChooseSavePath(QWidget* parent,
                                                                   const std::filesystem::path& suggested) {
    QFileDialog dialog(parent, QStringLiteral("Resize and Save"), ToQt(suggested),
                       QString::fromLatin1(kSaveImageFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The dialog asks before replacing a file; the chosen filter gives a name without extension its
    // format, as the desktop's dialogs do.
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(QString::fromStdString(FilterExtension(filter.toStdString())).mid(1));
    });
    const QString extension = QFileInfo(ToQt(suggested)).suffix().toLower();
    for (const QString& filter : dialog.nameFilters())
        if (!extension.isEmpty() && filter.contains(QStringLiteral("*.") + extension)) dialog.selectNameFilter(filter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return FromQt(dialog.selectedFiles().first());
}

}  // namespace kv::ui
