#pragma once

#include <QLabel>
#include <QTimer>

namespace kv::ui {

// The status bar's message pane. It shows the frame's status ("Ready", the batch list's counts, the
// browse window's folder) or, for a while, a passing message such as a menu entry's prompt or
// "Saved ...". Screen readers find it as "Status" and read what it shows as its value (and its
// description, which every desktop's reader announces), told of each change.
class CStatusText final : public QLabel {
    Q_OBJECT
public:
    explicit CStatusText(QWidget* parent = nullptr);

    // The standing text; empty stands for "Ready".
    void SetStatus(const QString& text);
    // A passing message, shown for timeoutMs (0: until the next one); an empty one ends it.
    void ShowPassing(const QString& text, int timeoutMs = 0);
    QString Status() const { return status_; }

private:
    void Show();

    QString status_;
    QString passing_;
    QTimer passingTimer_;
};

}  // namespace kv::ui
