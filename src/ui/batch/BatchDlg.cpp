#include "ui/batch/BatchDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "batch/BatchSettingsForm.h"
#include "ui/batch/QualitySpin.h"

namespace kv::ui {

namespace {

// The labels of the dialog, with their mnemonics.
constexpr const char* kNewNameText = "&Generate new name (e.g. FILE_RESIZED_TO_320X200 )";
constexpr const char* kSameFolderText = "&Save in initial folder with new name (e.g. FILE_RESIZED_TO_320X200 )";
constexpr const char* kPolicyTexts[] = {"&Skip", "&Overwrite", "Save with &unique name"};
constexpr const char* kFormatTexts[] = {"Don't change", "JPEG files (*.jpg)", "TIFF files (*.tif)",
                                        "Bitmap files (*.bmp)", "PNG files (*.png)"};

QString WithFinalSlash(QString folder) {
    if (!folder.endsWith(u'/')) folder += u'/';
    return folder;
}

}  // namespace

CBatchDlg::CBatchDlg(const BatchSettings& settings, const std::string& defaultFolder, IUserPrompt& prompt,
                     FolderPicker picker, QWidget* parent, std::filesystem::path home)
    : QDialog(parent),
      result_(settings),
      defaultFolder_(defaultFolder),
      home_(std::move(home)),
      prompt_(prompt),
      picker_(std::move(picker)) {
    setWindowTitle(QStringLiteral("Batch Settings"));
    setAccessibleName(windowTitle());

    folder_ = new QLineEdit(QString::fromStdString(settings.outputFolder.empty() ? defaultFolder : settings.outputFolder));
    folder_->setMinimumWidth(360);
    browse_ = new QPushButton(QStringLiteral("&Browse..."));
    browse_->setAutoDefault(false);
    auto* folderLabel = new QLabel(QStringLiteral("Output &folder:"));
    folderLabel->setBuddy(folder_);
    folder_->setAccessibleName(QStringLiteral("Output folder"));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(browse_);

    newName_ = new QCheckBox(QString::fromLatin1(kNewNameText));
    newName_->setChecked(settings.newName);
    sameFolder_ = new QCheckBox(QString::fromLatin1(kSameFolderText));
    sameFolder_->setChecked(settings.sameFolder);

    auto* policyBox = new QGroupBox(QStringLiteral("If file already exists"));
    auto* policyLayout = new QVBoxLayout(policyBox);
    policy_ = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(QString::fromLatin1(kPolicyTexts[i]));
        policy_->addButton(radio, i);
        policyLayout->addWidget(radio);
    }
    policy_->button(static_cast<int>(settings.policy))->setChecked(true);

    format_ = new QComboBox;
    for (const char* text : kFormatTexts) format_->addItem(QString::fromLatin1(text));
    format_->setCurrentIndex(static_cast<int>(settings.format));
    auto* formatLabel = new QLabel(QStringLiteral("Output format:"));
    formatLabel->setBuddy(format_);
    format_->setAccessibleName(QStringLiteral("Output format"));

    quality_ = new CQualitySpin(settings.jpegQuality);
    auto* qualityLabel = new QLabel(QStringLiteral("JPEG &quality:"));
    qualityLabel->setBuddy(quality_);
    quality_->setAccessibleName(QStringLiteral("JPEG quality"));

    auto* form = new QFormLayout;
    form->addRow(formatLabel, format_);
    form->addRow(qualityLabel, quality_);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    OkButton().setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folderLabel);
    layout->addLayout(folderRow);
    layout->addWidget(newName_);
    layout->addWidget(sameFolder_);
    layout->addWidget(policyBox);
    layout->addLayout(form);
    layout->addSpacing(6);
    layout->addWidget(buttons_);

    connect(sameFolder_, &QCheckBox::toggled, this, &CBatchDlg::FollowSameFolder);
    connect(browse_, &QPushButton::clicked, this, &CBatchDlg::Browse);
    connect(buttons_, &QDialogButtonBox::accepted, this, &CBatchDlg::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &CBatchDlg::reject);
    FollowSameFolder();
}

QPushButton& CBatchDlg::OkButton() const { return *buttons_->button(QDialogButtonBox::Ok); }

void CBatchDlg::FollowSameFolder() {
    // Results beside their inputs need no folder, and always get the new name.
    const bool elsewhere = !sameFolder_->isChecked();
    folder_->setEnabled(elsewhere);
    browse_->setEnabled(elsewhere);
    newName_->setEnabled(elsewhere);
}

void CBatchDlg::Browse() {
    if (!picker_) return;
    if (const std::optional<std::filesystem::path> chosen = picker_(this, folder_->text().toStdString()))
        folder_->setText(WithFinalSlash(QString::fromStdString(chosen->string())));
}

void CBatchDlg::accept() {
    BatchSettings values = result_;
    values.outputFolder = folder_->text().toStdString();
    values.newName = newName_->isChecked();
    values.sameFolder = sameFolder_->isChecked();
    values.policy = ValidCollisionPolicy(policy_->checkedId());
    values.format = ValidOutputFormat(format_->currentIndex());
    const BatchSettingsVerdict verdict =
        AcceptBatchSettings(values, quality_->Text().trimmed().toStdString(), prompt_, defaultFolder_, home_);
    if (!values.sameFolder) folder_->setText(QString::fromStdString(values.outputFolder));
    if (!verdict.qualityAccepted) {
        quality_->setFocus();
        quality_->selectAll();
        return;
    }
    if (!verdict.folderAccepted) {
        folder_->setFocus();
        folder_->selectAll();
        return;
    }
    result_ = values;
    QDialog::accept();
}

}  // namespace kv::ui
