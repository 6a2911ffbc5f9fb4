#pragma once

#include <QTimer>
#include <QWidget>
#include <map>

#include "app/IResizeBarListener.h"
#include "app/ResizeBarPresenter.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kv {
class CKVScaleCrafterDoc;
}

namespace kv::ui {

class CNavigatorWnd;
class SpinField;

// The resize settings bar: the fields, selectors, buttons and texts of the output size, with the
// navigator where the image frame stands. Everything it does comes from the presenter: the bar
// forwards what the user does and shows what the presenter holds.
class CResizeDlgBar final : public QWidget, public IResizeBarListener {
    Q_OBJECT
public:
    CResizeDlgBar(ResizeBarPresenter& presenter, QWidget* parent = nullptr);
    ~CResizeDlgBar() override;

    // Gives the bar the document (or none) and refreshes every text.
    void SetDocument(CKVScaleCrafterDoc* document);
    CNavigatorWnd& Navigator() { return *navigator_; }

    // The control of an identifier of the settings bar (fields, selectors, buttons, texts).
    QWidget* Control(int controlId) const;

    // Shown by the presenter.
    void OnBarStateChanged() override;
    void RefreshNavigator() override;

    // The bar's 500 ms timer, reachable for tests.
    QTimer& SpinTimer() { return spinTimer_; }

signals:
    // The presenter's state changed (tests wait on it).
    void StateShown();

private:
    void Build();
    SpinField* AddField(int fieldId, int spinId);
    QComboBox* AddSelector(int selectorId);
    void ShowPresetMenu(PresetMenu menu, QPushButton* button);
    void ShowState();

    ResizeBarPresenter& presenter_;
    CKVScaleCrafterDoc* document_ = nullptr;
    CNavigatorWnd* navigator_ = nullptr;
    std::map<int, QWidget*> controls_;
    std::map<int, SpinField*> fields_;
    std::map<int, QComboBox*> selectors_;
    QTimer spinTimer_;
    bool showing_ = false;
};

}  // namespace kv::ui
