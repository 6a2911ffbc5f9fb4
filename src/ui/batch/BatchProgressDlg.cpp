#include "ui/batch/BatchProgressDlg.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "batch/BatchProgress.h"

namespace kv::ui {

namespace {

// The log's lines end with "\r\n" as the run writes them; the text box wants "\n".
QString LogLines(const std::string& entry) {
    QString text = QString::fromStdString(entry);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

}  // namespace

CBatchProgressDlg::CBatchProgressDlg(std::vector<CItem> items, const BatchSettings& settings, bool crop,
                                     IUserPrompt& prompt, BatchRunWatchers watchers, QWidget* parent)
    : QDialog(parent),
      prompt_(prompt),
      watchers_(std::move(watchers)),
      runner_(std::make_unique<BatchRunner>(std::move(items), settings, crop, static_cast<IBatchRunHost&>(*this))) {
    setWindowTitle(QStringLiteral("Batch processing"));
    setAccessibleName(windowTitle());
    setModal(true);

    status_ = new QLabel;
    status_->setAccessibleName(QStringLiteral("Status"));
    bar_ = new QProgressBar;
    bar_->setRange(0, kBatchProgressRange);
    bar_->setTextVisible(false);
    bar_->setAccessibleName(QStringLiteral("Progress"));
    // The bar keeps its place while hidden, so that the text does not jump as it comes and goes.
    QSizePolicy keep = bar_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    bar_->setSizePolicy(keep);
    bar_->hide();
    log_ = new QPlainTextEdit;
    log_->setReadOnly(true);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    log_->setAccessibleName(QStringLiteral("Log"));
    log_->setMinimumSize(520, 300);
    button_ = new QPushButton(QStringLiteral("Cancel"));
    button_->setDefault(true);
    button_->setAutoDefault(true);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(button_, QDialogButtonBox::ActionRole);

    // The bar stands beside the status text, so that while it is hidden only the end of that row
    // stays empty.
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(status_, 1);
    statusRow->addWidget(bar_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(statusRow);
    layout->addWidget(log_, 1);
    layout->addWidget(buttons);
    connect(button_, &QPushButton::clicked, this, &CBatchProgressDlg::ButtonClicked);
}

CBatchProgressDlg::~CBatchProgressDlg() {
    // From here on the worker posts to nobody; a run still going is stopped and joined by the runner.
    runner_->DetachHost();
    runner_.reset();
    if (watchers_.progress) watchers_.progress(std::nullopt);
}

int CBatchProgressDlg::exec() {
    QTimer::singleShot(0, this, &CBatchProgressDlg::Start);
    return QDialog::exec();
}

void CBatchProgressDlg::Start() {
    if (runner_->IsRunning() || runner_->IsDone() || clock_.isValid()) return;
    clock_.start();
    runner_->Start();
    button_->setFocus();
}

// --- From the worker: each posts to the dialog's own thread and returns at once. ---

void CBatchProgressDlg::PostNewImage() { QMetaObject::invokeMethod(this, &CBatchProgressDlg::TakeReport, Qt::QueuedConnection); }

void CBatchProgressDlg::PostProgress() { QMetaObject::invokeMethod(this, &CBatchProgressDlg::ShowProgress, Qt::QueuedConnection); }

void CBatchProgressDlg::PostRunEnded() { QMetaObject::invokeMethod(this, &CBatchProgressDlg::RunEnded, Qt::QueuedConnection); }

// --- On the dialog's thread ---

void CBatchProgressDlg::TakeReport() {
    const std::optional<BatchLogUpdate> update = runner_->TakeReport();
    if (!update) return;
    CountReport(update->report);
    status_->setText(QString::fromStdString(update->statusText));
    bar_->setVisible(update->showProgressBar);
    bar_->setValue(0);
    if (!update->message.empty()) prompt_.ShowMessage(update->message);
    logText_ += update->entry;
    log_->moveCursor(QTextCursor::End);
    log_->insertPlainText(LogLines(update->entry));
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
    TellProgress();
}

void CBatchProgressDlg::CountReport(const BatchReport& report) {
    fileNumber_ = report.fileNumber;
    if (report.status == BatchStatus::Started) {
        // A file's entry may be logged twice (when its name had to change at the write): one file.
        if (startedFile_ != report.fileNumber) ++written_;
        startedFile_ = report.fileNumber;
    } else if (IsFailure(report.status)) {
        ++failures_;
        // A failure after the file's entry: that file was not written after all.
        if (startedFile_ == report.fileNumber) --written_;
        startedFile_ = 0;
    }
}

void CBatchProgressDlg::ShowProgress() {
    // Positions past the bar's end show it full.
    bar_->setValue(std::min(runner_->ProgressPosition(), kBatchProgressRange));
    TellProgress();
}

void CBatchProgressDlg::TellProgress() {
    if (!watchers_.progress || runner_->total() <= 0) return;
    const double withinFile = bar_->isVisible() ? std::min(runner_->ProgressPosition(), 100) / 100.0 : 0.0;
    const double fraction = (std::max(fileNumber_ - 1, 0) + withinFile) / runner_->total();
    const int permille = static_cast<int>(fraction * 1000);
    if (permille == lastPermille_) return;
    lastPermille_ = permille;
    watchers_.progress(fraction);
}

void CBatchProgressDlg::RunEnded() {
    runner_->OnRunEnded();
    button_->setText(QStringLiteral("Done"));
    button_->setFocus();
    bar_->setValue(0);
    if (watchers_.progress) watchers_.progress(std::nullopt);
    if (watchers_.ended) watchers_.ended(clock_.elapsed(), written_, failures_);
}

void CBatchProgressDlg::ButtonClicked() {
    if (runner_->IsRunning()) {
        runner_->Cancel();
        return;
    }
    accept();
}

void CBatchProgressDlg::reject() {
    // Esc and the window's close button act as the button does: a running batch is only asked to stop.
    if (runner_->IsRunning()) {
        runner_->Cancel();
        return;
    }
    QDialog::reject();
}

}  // namespace kv::ui
