#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <optional>

#include "app/BatchSettings.h"
#include "base/UserPrompt.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QPushButton;

namespace kv::ui {

class CQualitySpin;

// The desktop's folder picker, or the test's answer: the chosen folder, or nothing.
using FolderPicker = std::function<std::optional<std::filesystem::path>(QWidget* parent, const std::filesystem::path& start)>;

// "Batch Settings": where the results of a run go, under which names, in which format and with
// which JPEG quality. "OK" checks the quality and the folder and leaves the values in Result().
class CBatchDlg final : public QDialog {
    Q_OBJECT
public:
    // settings: the values it opens with. defaultFolder: the folder shown when none is set yet,
    // made without a question when it is missing. home: what "~" in a typed folder stands for.
    CBatchDlg(const BatchSettings& settings, const std::string& defaultFolder, IUserPrompt& prompt, FolderPicker picker,
              QWidget* parent = nullptr, std::filesystem::path home = {});

    const BatchSettings& Result() const { return result_; }

    QLineEdit& FolderField() const { return *folder_; }
    QPushButton& BrowseButton() const { return *browse_; }
    QCheckBox& NewNameBox() const { return *newName_; }
    QCheckBox& SameFolderBox() const { return *sameFolder_; }
    QButtonGroup& PolicyGroup() const { return *policy_; }
    QComboBox& FormatSelector() const { return *format_; }
    CQualitySpin& QualitySpin() const { return *quality_; }
    QPushButton& OkButton() const;

    void accept() override;

private:
    void FollowSameFolder();
    void Browse();

    BatchSettings result_;
    std::string defaultFolder_;
    std::filesystem::path home_;
    IUserPrompt& prompt_;
    FolderPicker picker_;
    QLineEdit* folder_ = nullptr;
    QPushButton* browse_ = nullptr;
    QCheckBox* newName_ = nullptr;
    QCheckBox* sameFolder_ = nullptr;
    QButtonGroup* policy_ = nullptr;
    QComboBox* format_ = nullptr;
    CQualitySpin* quality_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace kv::ui
