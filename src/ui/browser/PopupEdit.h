#pragma once

#include <QLineEdit>
#include <functional>

namespace kv::ui {

// The in-place editor of a file name: a framed single-line edit over the name under a cell. Enter
// and leaving it commit, Esc cancels; after either, further keys and focus changes do nothing.
class CPopupEdit final : public QLineEdit {
    Q_OBJECT
public:
    // commit receives the typed name; cancel is called on Esc. The editor deletes itself after
    // either has been called.
    CPopupEdit(QWidget* parent, const QString& name, std::function<void(const QString&)> commit,
               std::function<void()> cancel);

    bool IsFinished() const { return finished_; }
    void Commit();
    void Cancel();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    std::function<void(const QString&)> commit_;
    std::function<void()> cancel_;
    bool finished_ = false;
};

}  // namespace kv::ui
