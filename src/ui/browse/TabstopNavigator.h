#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace kv::ui {

// Tab and Shift+Tab move the focus between the panes of the window that take part (the folder
// tree, then the thumbnail views: the batch list's while browsing, and the browse window's), in
// ascending order; panes of equal order keep the order they joined in. Hidden or disabled panes
// are passed over, and the last wraps to the first. One navigator serves the program.
class CTabstopNavigator final : public QObject {
    Q_OBJECT
public:
    static constexpr int kTreeOrder = 4;
    static constexpr int kThumbsViewOrder = 7;

    static CTabstopNavigator& Instance();

    // Ignored for a pane that takes part already. A pane leaves when it is destroyed.
    void Register(QWidget* pane, int order);
    void Unregister(QWidget* pane);
    // The panes in their Tab order.
    std::vector<QWidget*> Panes() const;
    // Moves the focus on from the pane that holds `from`; false when `from` lies in none.
    bool MoveFocus(QWidget* from, bool backwards);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CTabstopNavigator() = default;
    struct Entry {
        int order;
        QPointer<QWidget> pane;
    };
    std::vector<Entry> entries_;
};

}  // namespace kv::ui
