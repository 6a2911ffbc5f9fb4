#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

class QWidget;

namespace kv::ui {

// How a single save writes a JPEG result.
struct JpegSaveChoice {
    int32_t quality = 75;                // 1 to 100
    bool sameAsOriginal = false;         // the original's quality instead, where it has one
    std::optional<int32_t> original;     // the quality the open JPEG was written at
};

// The file dialogs of the program: choosing an image to open and a path to write a result to.
// Nothing when the user cancels. The window asks through this interface so that tests can answer.
class IFileDialogs {
public:
    virtual std::optional<std::filesystem::path> ChooseImageToOpen(QWidget* parent,
                                                                   const std::filesystem::path& folder) = 0;
    // suggested: the folder and name the dialog starts with.
    virtual std::optional<std::filesystem::path> ChooseSavePath(QWidget* parent,
                                                                const std::filesystem::path& suggested) = 0;
    // The folder the results of a batch go to; start: the folder the picker opens in.
    virtual std::optional<std::filesystem::path> ChooseFolder(QWidget* parent, const std::filesystem::path& start) = 0;
    // The options of a JPEG result, asked once its name is chosen; false when the user cancels the
    // save. Without a dialog of its own the choice stands as it is.
    virtual bool ChooseJpegOptions(QWidget* parent, JpegSaveChoice& choice) {
        (void)parent;
        (void)choice;
        return true;
    }

protected:
    ~IFileDialogs() = default;
};

// The desktop's file dialogs.
class QtFileDialogs final : public IFileDialogs {
public:
    std::optional<std::filesystem::path> ChooseImageToOpen(QWidget* parent, const std::filesystem::path& folder) override;
    std::optional<std::filesystem::path> ChooseSavePath(QWidget* parent, const std::filesystem::path& suggested) override;
    std::optional<std::filesystem::path> ChooseFolder(QWidget* parent, const std::filesystem::path& start) override;
    bool ChooseJpegOptions(QWidget* parent, JpegSaveChoice& choice) override;
};

// The filters of both dialogs, in the desktop's notation, made from the program's one list of
// image extensions: every image the program opens, each kind, and all files; the kinds it writes.
std::string OpenImageFilter();
std::string SaveImageFilter();

// The extension a save filter names ("JPEG Files (*.jpg)" gives ".jpg").
std::string FilterExtension(const std::string& filter);

}  // namespace kv::ui
