#include "ui/resizebar/ResizeDlgBar.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <array>
#include <tuple>

#include "app/CommandTable.h"
#include "document/KVScaleCrafterDoc.h"
#include "ui/resizebar/SpinField.h"
#include "app/HelpPages.h"
#include "ui/frame/ContextHelp.h"
#include "ui/view/NavigatorWnd.h"

namespace kv::ui {

using namespace ResizeBarControl;

namespace {

constexpr int kSpinCheckMs = 500;
// Room between the rows, and the smallest the navigator gets when the screen is short.
constexpr int kSpacing = 4;
constexpr int kNavigatorMinimumHeight = 60;

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The field a label names; its accessible name is the label without the mnemonic and the colon.
void Name(QWidget* widget, std::string_view label) { widget->setAccessibleName(Q(AccessibleText(label))); }

void Tighten(QGridLayout* grid) {
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setVerticalSpacing(kSpacing);
}

QLabel* Caption(std::string_view text, QWidget* buddy) {
    auto* label = new QLabel(Q(text));
    label->setBuddy(buddy);
    return label;
}

}  // namespace

CResizeDlgBar::CResizeDlgBar(ResizeBarPresenter& presenter, QWidget* parent) : QWidget(parent), presenter_(presenter) {
    setAccessibleName(QStringLiteral("Resize settings"));
    SetHelpPage(this, help::kSizes);
    Build();
    presenter_.SetListener(this);
    // A spin button whose release never arrived (the pointer left the window, a key was let go
    // elsewhere) still ends the stepping.
    spinTimer_.setInterval(kSpinCheckMs);
    connect(&spinTimer_, &QTimer::timeout, this, [this] {
        bool keyHeld = false;
        for (const auto& [id, field] : fields_) keyHeld = keyHeld || field->KeyHeld();
        presenter_.OnTimer(keyHeld || QApplication::mouseButtons() != Qt::NoButton);
    });
    spinTimer_.start();
    ShowState();
}

CResizeDlgBar::~CResizeDlgBar() { presenter_.SetListener(nullptr); }

SpinField* CResizeDlgBar::AddField(int fieldId, int spinId) {
    auto* field = new SpinField(this);
    Name(field, ControlLabel(fieldId));
    field->setToolTip(Q(ControlTooltip(fieldId, false)));
    connect(field, &SpinField::Edited, this, [this, fieldId](const QString& text) {
        if (!showing_) presenter_.OnTextChanged(fieldId, text.toStdString());
    });
    connect(field, &SpinField::Stepped, this, [this, spinId](int steps) { presenter_.OnSpin(spinId, steps); });
    connect(field, &SpinField::Released, this, [this] { presenter_.OnSpinReleased(); });
    connect(field, &SpinField::Left, this, [this, fieldId] { presenter_.OnFieldLeft(fieldId); });
    connect(field->Editor(), &QLineEdit::returnPressed, this, [this] { presenter_.OnFieldEntered(); });
    controls_[fieldId] = field;
    fields_[fieldId] = field;
    return field;
}

QComboBox* CResizeDlgBar::AddSelector(int selectorId) {
    auto* combo = new QComboBox(this);
    for (std::string_view item : presenter_.SelectorItems(selectorId)) combo->addItem(Q(item));
    combo->setToolTip(Q(ControlTooltip(selectorId, false)));
    connect(combo, &QComboBox::activated, this, [this, selectorId](int index) {
        if (!showing_) presenter_.OnSelect(selectorId, index);
    });
    controls_[selectorId] = combo;
    selectors_[selectorId] = combo;
    return combo;
}

void CResizeDlgBar::Build() {
    // Laid out to fit a laptop's screen without scrolling: the navigator takes the height that is
    // left (and shrinks first), the open image's facts share lines, each unit selector stands
    // beside the field it names, and each preset button beside its group.
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(kSpacing);

    // The open image: the navigator in the place of the picture, then its facts.
    auto* original = new QGroupBox(QStringLiteral("Original image"), this);
    auto* originalGrid = new QGridLayout(original);
    Tighten(originalGrid);
    originalGrid->setVerticalSpacing(1);
    navigator_ = new CNavigatorWnd(original);
    navigator_->setMinimumHeight(kNavigatorMinimumHeight);
    navigator_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    originalGrid->addWidget(navigator_, 0, 0, 1, 2);
    originalGrid->setRowStretch(0, 1);
    // Pixel size and bits per pixel, the raw size, then the print size and the resolution.
    const std::array<std::tuple<int, const char*, int, int, int>, 5> facts{{{IDC_ORIG_PIXELS, "Pixel size", 1, 0, 1},
                                                                           {IDC_ORIG_BITS, "Bits per pixel", 1, 1, 1},
                                                                           {IDC_ORIG_RAWSIZE, "Raw size", 2, 0, 2},
                                                                           {IDC_ORIG_PRINTSIZE, "Print size", 3, 0, 1},
                                                                           {IDC_ORIG_RES, "Resolution", 3, 1, 1}}};
    for (const auto& [id, name, row, col, span] : facts) {
        // A screen reader reads the value as the label's name (a name of its own would hide the
        // text) and says what it is from the description.
        auto* text = new QLabel(original);
        text->setAccessibleDescription(QStringLiteral("Original image ") + QString::fromLatin1(name).toLower());
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        controls_[id] = text;
        originalGrid->addWidget(text, row, col, 1, span);
    }
    column->addWidget(original, 1);

    // The new size: pixels or percent, print size, resolution; each group under its radio button,
    // with its presets and units at the right.
    auto* output = new QGroupBox(QStringLiteral("New size"), this);
    auto* grid = new QGridLayout(output);
    Tighten(grid);
    grid->setColumnStretch(1, 1);
    int row = 0;
    const auto addField = [&](int fieldId, int spinId) {
        SpinField* field = AddField(fieldId, spinId);
        grid->addWidget(Caption(ControlLabel(fieldId), field), row, 0);
        grid->addWidget(field, row, 1);
        return field;
    };
    const auto addButton = [&](int id) {
        auto* button = new QPushButton(Q(ControlLabel(id)), output);
        Name(button, ControlLabel(id));
        button->setToolTip(Q(ControlTooltip(id, false)));
        controls_[id] = button;
        return button;
    };
    const auto addRadio = [&](int id, bool editPrints) {
        auto* radio = new QRadioButton(Q(ControlLabel(id)), output);
        Name(radio, ControlLabel(id));
        radio->setToolTip(Q(ControlTooltip(id, false)));
        connect(radio, &QRadioButton::clicked, this, [this, editPrints] {
            if (!showing_) presenter_.OnEditPrints(editPrints);
        });
        controls_[id] = radio;
        grid->addWidget(radio, row, 0, 1, 2);
        return radio;
    };

    addRadio(IDC_EDIT_PIXEL, false);
    QPushButton* sizes = addButton(IDC_OUT_PREDIFINED);
    grid->addWidget(sizes, row++, 2);
    addField(IDC_OUT_WIDTH, IDC_SPIN_WIDTH);
    QComboBox* unit = AddSelector(IDC_OUT_UNIT);
    unit->setAccessibleName(QStringLiteral("Pixels or percent"));
    grid->addWidget(unit, row++, 2);
    addField(IDC_OUT_HEIGHT, IDC_SPIN_HEIGHT);
    ++row;

    addRadio(IDC_EDIT_PRINT, true);
    QPushButton* paper = addButton(IDC_OUT_PRN_PREDIFINED);
    grid->addWidget(paper, row++, 2);
    addField(IDC_OUT_PRNWIDTH, IDC_SPIN_PRNWIDTH)->setAccessibleName(QStringLiteral("Print width"));
    QComboBox* sizeUnits = AddSelector(IDC_UNITS_SIZE);
    sizeUnits->setAccessibleName(QStringLiteral("Size units"));
    grid->addWidget(sizeUnits, row++, 2);
    addField(IDC_OUT_PRNHEIGHT, IDC_SPIN_PRNHEIGHT)->setAccessibleName(QStringLiteral("Print height"));
    // The unit once more beside the height, as a word: the selector above names it for both.
    auto* heightUnit = new QLabel(output);
    controls_[IDC_PRNHEIGHT_UNIT] = heightUnit;
    grid->addWidget(heightUnit, row++, 2);

    addField(IDC_OUT_RES, IDC_SPIN_RES);
    QComboBox* resolutionUnits = AddSelector(IDC_UNITS_RES);
    resolutionUnits->setAccessibleName(QStringLiteral("Resolution units"));
    grid->addWidget(resolutionUnits, row++, 2);
    auto* newRawSize = new QLabel(output);
    newRawSize->setAccessibleName(QStringLiteral("New raw size"));
    controls_[IDC_NEW_RAWSIZE] = newRawSize;
    grid->addWidget(newRawSize, row, 0, 1, 2);
    QPushButton* standard = addButton(IDC_OUT_RES_PREDIFINED);
    grid->addWidget(standard, row++, 2);
    column->addWidget(output);

    connect(sizes, &QPushButton::clicked, this, [this, sizes] { ShowPresetMenu(PresetMenu::Sizes, sizes); });
    connect(paper, &QPushButton::clicked, this, [this, paper] { ShowPresetMenu(PresetMenu::Papers, paper); });
    connect(standard, &QPushButton::clicked, this,
            [this, standard] { ShowPresetMenu(PresetMenu::Resolutions, standard); });

    // How the box is honoured and which algorithm runs.
    auto* choices = new QFormLayout;
    choices->setContentsMargins(2, 0, 2, 0);
    choices->setVerticalSpacing(kSpacing);
    choices->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    QComboBox* correction = AddSelector(IDC_CORRECTION);
    Name(correction, ControlLabel(IDC_CORRECTION));
    QComboBox* algorithm = AddSelector(IDC_ALGORITHM);
    Name(algorithm, ControlLabel(IDC_ALGORITHM));
    SetHelpPage(correction, help::kCorrection);
    SetHelpPage(algorithm, help::kAlgorithms);
    choices->addRow(Caption("Correction of size:", correction), correction);
    choices->addRow(Caption(ControlLabel(IDC_ALGORITHM), algorithm), algorithm);
    column->addLayout(choices);

    // The check box and, in batch mode, "Apply to All" share the last line.
    auto* last = new QHBoxLayout;
    last->setContentsMargins(2, 0, 2, 0);
    auto* lock = new QCheckBox(this);
    connect(lock, &QCheckBox::clicked, this, [this](bool checked) {
        if (!showing_) presenter_.OnCheckBox(checked);
    });
    controls_[IDC_LOCK_SETTINGS] = lock;
    last->addWidget(lock, 1);
    auto* applyToAll = new QPushButton(Q(ControlLabel(IDC_APPLY_TO_ALL)), this);
    Name(applyToAll, ControlLabel(IDC_APPLY_TO_ALL));
    applyToAll->setToolTip(Q(ControlTooltip(IDC_APPLY_TO_ALL, false)));
    connect(applyToAll, &QPushButton::clicked, this, [this] { presenter_.ApplyToAll(); });
    controls_[IDC_APPLY_TO_ALL] = applyToAll;
    last->addWidget(applyToAll);
    column->addLayout(last);

    // What's This? shows each control's tooltip text in a tool-tip-style pop-up.
    for (const auto& [id, control] : controls_)
        if (!control->toolTip().isEmpty()) control->setWhatsThis(control->toolTip());
}

QWidget* CResizeDlgBar::Control(int controlId) const {
    if (SpinButtonField(controlId)) controlId = *SpinButtonField(controlId);
    const auto it = controls_.find(controlId);
    return it == controls_.end() ? nullptr : it->second;
}

void CResizeDlgBar::SetDocument(CKVScaleCrafterDoc* document) {
    document_ = document;
    presenter_.SetDocument(document);
}

void CResizeDlgBar::ShowPresetMenu(PresetMenu which, QPushButton* button) {
    QMenu menu(this);
    const std::vector<MenuItem> items = presenter_.MenuItems(which);
    for (size_t position = 0; position < items.size(); ++position) {
        const MenuItem& item = items[position];
        if (item.separator) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(Q(item.label));
        action->setEnabled(item.enabled);
        connect(action, &QAction::triggered, this, [this, which, position] { presenter_.OnMenuItem(which, position); });
    }
    // At the pointer when it is over the button, else at the button's centre.
    const QPoint pointer = button->mapFromGlobal(QCursor::pos());
    const QPoint at = button->rect().contains(pointer) ? QCursor::pos() : button->mapToGlobal(button->rect().center());
    menu.exec(at);
}

void CResizeDlgBar::OnBarStateChanged() { ShowState(); }

void CResizeDlgBar::RefreshNavigator() { navigator_->SetDocument(document_); }

void CResizeDlgBar::ShowState() {
    showing_ = true;
    const bool batch = presenter_.Settings().batchMode;
    for (const auto& [id, control] : controls_) {
        control->setEnabled(presenter_.IsEnabled(id));
        control->setVisible(presenter_.IsVisible(id));
        const QString text = QString::fromStdString(presenter_.Text(id));
        if (auto* field = qobject_cast<SpinField*>(control)) field->ShowText(text);
        else if (auto* label = qobject_cast<QLabel*>(control)) label->setText(text);
        else if (auto* combo = qobject_cast<QComboBox*>(control)) combo->setCurrentIndex(presenter_.Selection(id));
        else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            if (button->isCheckable()) button->setChecked(presenter_.IsChecked(id));
        }
    }
    auto* lock = static_cast<QCheckBox*>(controls_.at(IDC_LOCK_SETTINGS));
    const QString lockText = Q(LockCheckBoxText(batch));
    lock->setText(lockText);
    Name(lock, LockCheckBoxText(batch));
    lock->setToolTip(Q(ControlTooltip(IDC_LOCK_SETTINGS, batch)));
    lock->setWhatsThis(lock->toolTip());
    showing_ = false;
    emit StateShown();
}

}  // namespace kv::ui
