#include "ui/bridge/FileDialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "imageio/ImageFiles.h"
#include "ui/dialogs/JpegOptionsDlg.h"

namespace kv::ui {

namespace {
QString ToQt(const std::filesystem::path& path) { return QFile::decodeName(path.string().c_str()); }
std::filesystem::path FromQt(const QString& path) { return std::filesystem::path(QFile::encodeName(path).toStdString()); }

// "JPEG Files (*.jpg *.jpeg *.jpe);;TIFF Files (*.tif *.tiff);;..." for the kinds a filter takes.
std::string KindFilters(bool writableOnly) {
    std::string filters;
    std::string_view kind;
    for (const ImageFileType& type : ImageFileTypes()) {
        if (writableOnly && type.mimeType.empty()) continue;
        if (type.kindName != kind) {
            if (!kind.empty()) filters += ");;";
            kind = type.kindName;
            filters.append(kind).append(" (");
        } else {
            filters += ' ';
        }
        filters.append("*").append(type.extension);
    }
    return filters.empty() ? filters : filters + ")";
}
}  // namespace

std::string OpenImageFilter() {
    std::string all;
    for (const ImageFileType& type : ImageFileTypes()) all.append(all.empty() ? "*" : " *").append(type.extension);
    return "All Supported Files (" + all + ");;" + KindFilters(false) + ";;All Files (*)";
}

std::string SaveImageFilter() { return KindFilters(true); }

std::string FilterExtension(const std::string& filter) {
    const size_t star = filter.find("*.");
    if (star == std::string::npos) return {};
    const size_t end = filter.find_first_of(" )", star);
    return filter.substr(star + 1, end == std::string::npos ? std::string::npos : end - star - 1);
}

std::optional<std::filesystem::path> QtFileDialogs::ChooseImageToOpen(QWidget* parent,
                                                                      const std::filesystem::path& folder) {
    const QString chosen = QFileDialog::getOpenFileName(parent, QStringLiteral("Open"), ToQt(folder),
                                                        QString::fromStdString(OpenImageFilter()));
    if (chosen.isEmpty()) return std::nullopt;
    return FromQt(chosen);
}

std::optional<std::filesystem::path> QtFileDialogs::ChooseSavePath(QWidget* parent,
                                                                   const std::filesystem::path& suggested) {
    QFileDialog dialog(parent, QStringLiteral("Resize and Save"), ToQt(suggested),
                       QString::fromStdString(SaveImageFilter()));
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

bool QtFileDialogs::ChooseJpegOptions(QWidget* parent, JpegSaveChoice& choice) {
    CJpegOptionsDlg dialog(choice, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    choice = dialog.Choice();
    return true;
}

std::optional<std::filesystem::path> QtFileDialogs::ChooseFolder(QWidget* parent, const std::filesystem::path& start) {
    const QString chosen = QFileDialog::getExistingDirectory(parent, QStringLiteral("Output folder"), ToQt(start));
    if (chosen.isEmpty()) return std::nullopt;
    return FromQt(chosen);
}

}  // namespace kv::ui
