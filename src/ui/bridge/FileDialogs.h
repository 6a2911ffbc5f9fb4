#pragma once

#include <filesystem>
#include <optional>

class QWidget;

namespace kv::ui {

// The file dialogs of the program: choosing an image to open and a path to write a result to.
// Nothing when the user cancels. The window asks through this interface so that tests can answer.
class IFileDialogs {
public:
    virtual std::optional<std::filesystem::path> ChooseImageToOpen(QWidget* parent,
                                                                   const std::filesystem::path& folder) = 0;
    // suggested: the folder and name the dialog starts with.
    virtual std::optional<std::filesystem::path> ChooseSavePath(QWidget* parent,
                                                                const std::filesystem::path& suggested) = 0;

protected:
    ~IFileDialogs() = default;
};

// The desktop's file dialogs.
class QtFileDialogs final : public IFileDialogs {
public:
    std::optional<std::filesystem::path> ChooseImageToOpen(QWidget* parent, const std::filesystem::path& folder) override;
    std::optional<std::filesystem::path> ChooseSavePath(QWidget* parent, const std::filesystem::path& suggested) override;
};

// The filters of both dialogs, in the desktop's notation.
extern const char* const kOpenImageFilter;
extern const char* const kSaveImageFilter;

// The extension a save filter names ("JPEG Files (*.jpg)" gives ".jpg").
std::string FilterExtension(const std::string& filter);

}  // namespace kv::ui
