#include "ui/resizebar/ResizeDlgBar.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

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

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The field a label names; its accessible name is the label without the mnemonic and the colon.
void Name(QWidget* widget, std::string_view label) { widget->setAccessibleName(Q(AccessibleText(label))); }

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
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);

    // The open image: the navigator in the place of the picture, then its facts.
    auto* original = new QGroupBox(QStringLiteral("Original image"), this);
    auto* originalColumn = new QVBoxLayout(original);
    navigator_ = new CNavigatorWnd(original);
    navigator_->setMinimumHeight(130);
    originalColumn->addWidget(navigator_, 1);
    const std::array<std::pair<int, const char*>, 5> facts{{{IDC_ORIG_PIXELS, "Pixel size"},
                                                            {IDC_ORIG_BITS, "Bits per pixel"},
                                                            {IDC_ORIG_RAWSIZE, "Raw size"},
                                                            {IDC_ORIG_PRINTSIZE, "Print size"},
                                                            {IDC_ORIG_RES, "Resolution"}}};
    for (const auto& [id, name] : facts) {
        // A screen reader reads the value as the label's name (a name of its own would hide the
        // text) and says what it is from the description.
        auto* text = new QLabel(original);
        text->setAccessibleDescription(QStringLiteral("Original image ") + QString::fromLatin1(name).toLower());
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        controls_[id] = text;
        originalColumn->addWidget(text);
    }
    column->addWidget(original);

    // The new size: pixels or percent, print size, resolution.
    auto* output = new QGroupBox(QStringLiteral("New size"), this);
    auto* grid = new QGridLayout(output);
    grid->setColumnStretch(1, 1);
    int row = 0;
    const auto addField = [&](int fieldId, int spinId, int unitId) {
        SpinField* field = AddField(fieldId, spinId);
        grid->addWidget(Caption(ControlLabel(fieldId), field), row, 0);
        grid->addWidget(field, row, 1);
        if (unitId) {
            auto* unit = new QLabel(output);
            controls_[unitId] = unit;
            grid->addWidget(unit, row, 2);
        }
        ++row;
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
        return radio;
    };

    addField(IDC_OUT_WIDTH, IDC_SPIN_WIDTH, 0);
    addField(IDC_OUT_HEIGHT, IDC_SPIN_HEIGHT, 0);
    QComboBox* unit = AddSelector(IDC_OUT_UNIT);
    unit->setAccessibleName(QStringLiteral("Pixels or percent"));
    grid->addWidget(unit, row, 1);
    QPushButton* sizes = addButton(IDC_OUT_PREDIFINED);
    grid->addWidget(sizes, row++, 2);
    grid->addWidget(addRadio(IDC_EDIT_PIXEL, false), row++, 0, 1, 3);

    auto* printLine = new QFrame(output);
    printLine->setFrameShape(QFrame::HLine);
    printLine->setFrameShadow(QFrame::Sunken);
    grid->addWidget(printLine, row++, 0, 1, 3);
    addField(IDC_OUT_PRNWIDTH, IDC_SPIN_PRNWIDTH, IDC_PRNWIDTH_UNIT);
    addField(IDC_OUT_PRNHEIGHT, IDC_SPIN_PRNHEIGHT, IDC_PRNHEIGHT_UNIT);
    fields_[IDC_OUT_PRNWIDTH]->setAccessibleName(QStringLiteral("Print width"));
    fields_[IDC_OUT_PRNHEIGHT]->setAccessibleName(QStringLiteral("Print height"));
    QPushButton* paper = addButton(IDC_OUT_PRN_PREDIFINED);
    grid->addWidget(paper, row, 2);
    grid->addWidget(addRadio(IDC_EDIT_PRINT, true), row++, 0, 1, 2);

    auto* resolutionLine = new QFrame(output);
    resolutionLine->setFrameShape(QFrame::HLine);
    resolutionLine->setFrameShadow(QFrame::Sunken);
    grid->addWidget(resolutionLine, row++, 0, 1, 3);
    addField(IDC_OUT_RES, IDC_SPIN_RES, IDC_RES_UNIT);
    QPushButton* standard = addButton(IDC_OUT_RES_PREDIFINED);
    grid->addWidget(standard, row++, 2);
    auto* newRawSize = new QLabel(output);
    newRawSize->setAccessibleName(QStringLiteral("New raw size"));
    controls_[IDC_NEW_RAWSIZE] = newRawSize;
    grid->addWidget(newRawSize, row++, 0, 1, 3);
    column->addWidget(output);

    connect(sizes, &QPushButton::clicked, this, [this, sizes] { ShowPresetMenu(PresetMenu::Sizes, sizes); });
    connect(paper, &QPushButton::clicked, this, [this, paper] { ShowPresetMenu(PresetMenu::Papers, paper); });
    connect(standard, &QPushButton::clicked, this,
            [this, standard] { ShowPresetMenu(PresetMenu::Resolutions, standard); });

    // How the box is honoured and which algorithm runs.
    auto* choices = new QFormLayout;
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

    auto* units = new QGroupBox(QStringLiteral("Units"), this);
    auto* unitsForm = new QFormLayout(units);
    unitsForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    QComboBox* sizeUnits = AddSelector(IDC_UNITS_SIZE);
    sizeUnits->setAccessibleName(QStringLiteral("Size units"));
    QComboBox* resolutionUnits = AddSelector(IDC_UNITS_RES);
    resolutionUnits->setAccessibleName(QStringLiteral("Resolution units"));
    unitsForm->addRow(Caption(ControlLabel(IDC_UNITS_SIZE), sizeUnits), sizeUnits);
    unitsForm->addRow(Caption(ControlLabel(IDC_UNITS_RES), resolutionUnits), resolutionUnits);
    column->addWidget(units);

    auto* lock = new QCheckBox(this);
    connect(lock, &QCheckBox::clicked, this, [this](bool checked) {
        if (!showing_) presenter_.OnCheckBox(checked);
    });
    controls_[IDC_LOCK_SETTINGS] = lock;
    column->addWidget(lock);
    auto* applyToAll = new QPushButton(Q(ControlLabel(IDC_APPLY_TO_ALL)), this);
    Name(applyToAll, ControlLabel(IDC_APPLY_TO_ALL));
    applyToAll->setToolTip(Q(ControlTooltip(IDC_APPLY_TO_ALL, false)));
    connect(applyToAll, &QPushButton::clicked, this, [this] { presenter_.ApplyToAll(); });
    controls_[IDC_APPLY_TO_ALL] = applyToAll;
    column->addWidget(applyToAll);
    column->addStretch(1);

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
