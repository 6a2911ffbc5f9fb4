#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <functional>
#include <memory>
#include <vector>

#include "base/UserPrompt.h"
#include "batch/BatchRunner.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace kv::ui {

// What a run tells the desktop around the window: how far it has got (a fraction from 0 to 1, or
// nothing once it has ended), and that it has ended after a while.
struct BatchRunWatchers {
    std::function<void(std::optional<double> fraction)> progress;
    // elapsed: how long the run took; written: the files logged as resized; failures: the others.
    std::function<void(qint64 elapsedMs, int written, int failures)> ended;
};

// "Batch processing": runs the batch on its worker thread and shows which file is being resized,
// a bar for the algorithms that report their progress, and the log of every file. "Cancel" asks
// the worker to stop; once it has ended, the button reads "Done" and closes the dialog. The
// worker's notices are posted to the dialog's thread; nothing here waits for the worker.
class CBatchProgressDlg final : public QDialog, private IBatchRunHost {
    Q_OBJECT
public:
    CBatchProgressDlg(std::vector<CItem> items, const BatchSettings& settings, bool crop, IUserPrompt& prompt,
                      BatchRunWatchers watchers = {}, QWidget* parent = nullptr);
    ~CBatchProgressDlg() override;

    // Starts the worker; called once the dialog is shown (exec shows it and starts the run).
    int exec() override;
    void Start();

    bool IsRunning() const { return runner_->IsRunning(); }
    bool IsDone() const { return runner_->IsDone(); }
    QLabel& StatusText() const { return *status_; }
    QProgressBar& ProgressBar() const { return *bar_; }
    QPlainTextEdit& Log() const { return *log_; }
    QPushButton& Button() const { return *button_; }
    // The log as the run wrote it (its lines end with "\r\n").
    const std::string& LogText() const { return logText_; }

    void reject() override;

private:
    void PostNewImage() override;
    void PostProgress() override;
    void PostRunEnded() override;
    void TakeReport();
    void CountReport(const BatchReport& report);
    void ShowProgress();
    void RunEnded();
    void ButtonClicked();
    void TellProgress();

    IUserPrompt& prompt_;
    BatchRunWatchers watchers_;
    std::unique_ptr<BatchRunner> runner_;
    QLabel* status_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QPushButton* button_ = nullptr;
    std::string logText_;
    QElapsedTimer clock_;
    int32_t fileNumber_ = 0;
    int32_t startedFile_ = 0;
    int written_ = 0;
    int failures_ = 0;
    int lastPermille_ = -1;
};

}  // namespace kv::ui
