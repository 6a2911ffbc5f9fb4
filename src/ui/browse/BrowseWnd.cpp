#include "ui/browse/BrowseWnd.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHBoxLayout>
#include <QProgressDialog>
#include <QTimer>
#include <algorithm>

#include "base/CommandIds.h"
#include "ui/browser/QtFileClipboard.h"
#include "ui/browser/ThumbsView.h"
#include "ui/browse/ShellTree.h"
#include "ui/browse/TabstopNavigator.h"

namespace kv::ui {

namespace {

// A copy or move that takes longer than this shows its progress.
constexpr int kProgressAfterMs = 700;

QString ToQt(const std::string& text) { return QFile::decodeName(QByteArray::fromStdString(text)); }

}  // namespace

CBrowseWnd::CBrowseWnd(BrowseServices services, BrowseMemory memory, QWidget* parent)
    : QWidget(parent), memory_(std::move(memory)), clipboard_(std::make_unique<QtFileClipboard>()) {
    setObjectName(QStringLiteral("BrowseWindow"));
    setAccessibleName(QStringLiteral("Browse"));
    ThumbsBrowserServices browserServices = services.browser;
    if (!browserServices.clipboard) browserServices.clipboard = clipboard_.get();
    browser_ = std::make_unique<CImgThumbsBrowser>(browserServices, services.mainWindow, Trash(services.folders.dataHome));
    browser_->SetTransferRunner([this](TransferKind kind, const std::vector<std::filesystem::path>& files,
                                       const std::filesystem::path& folder) { return RunTransfer(kind, files, folder); });
    shell_ = std::make_unique<ShellNamespace>(services.folders, services.libraries, services.volumes);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setChildrenCollapsible(false);
    tree_ = new CShellTree(*shell_, services.libraries, services.browser.prompt, splitter_);
    view_ = new CThumbsView(*browser_, services.colors, splitter_);
    splitter_->addWidget(tree_);
    splitter_->addWidget(view_);
    splitter_->setStretchFactor(1, 1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter_);

    CTabstopNavigator::Instance().Register(tree_, CTabstopNavigator::kTreeOrder);
    CTabstopNavigator::Instance().Register(view_, CTabstopNavigator::kThumbsViewOrder);

    view_->SetPropertiesHandler([this](const std::filesystem::path& file) { emit PropertiesRequested(file); });
    view_->SetStatusSink([this](const BrowserStatus& status) {
        QStringList parts{ToQt(status.files)};
        for (const std::string& part : {status.date, status.size, status.image})
            if (!part.empty()) parts << ToQt(part);
        emit StatusChanged(parts.join(QStringLiteral("    ")));
    });
    tree_->SetSelectionHandler([this](const std::string& text) { OnTreeSelection(text); });

    browser_->StartMonitor();
    // The remembered width; without one the tree's column takes the width its names need, once
    // the item it opens on is shown (unless the user has moved the divider by then).
    const std::optional<int> stored = memory_.readLeftWidth ? memory_.readLeftWidth() : std::nullopt;
    fitTree_ = !stored;
    connect(splitter_, &QSplitter::splitterMoved, this, [this] { fitTree_ = false; });
    const int left = stored.value_or(kDefaultLeftWidth);
    splitter_->setSizes({left, std::max(1, width() - left)});
    // The remembered item, else the start folder. The tree looks for either without holding up
    // the window: a folder on the way may lie on a slow or dead mount.
    const std::string record = memory_.readTreeSelection ? memory_.readTreeSelection() : std::string();
    tree_->RestoreSelectionLater(record, [this, start = services.startFolder](bool found) {
        if (found || start.empty()) return FitTreeLater();
        SetFolder(start);
        tree_->SelectPathLater(start, [this](bool) { FitTreeLater(); });
    });
}

void CBrowseWnd::FitTreeLater() {
    // After the tree has laid out the rows just shown.
    QTimer::singleShot(0, this, [this] {
        if (!fitTree_) return;
        fitTree_ = false;
        const int total = splitter_->width() - splitter_->handleWidth();
        const int most = std::max(kDefaultLeftWidth, total * kMostTreeShare / 100);
        const int left = std::clamp(tree_->NamesWidth(), kDefaultLeftWidth, most);
        splitter_->setSizes({left, std::max(1, total - left)});
    });
}

CBrowseWnd::~CBrowseWnd() {
    if (memory_.writeTreeSelection) memory_.writeTreeSelection(tree_->SaveSelection());
    if (memory_.writeLeftWidth) memory_.writeLeftWidth(splitter_->sizes().value(0));
    if (memory_.writeBrowseFolder) memory_.writeBrowseFolder(browser_->CurrentFolder().string());
    // The panes go before the browser and the namespace they show.
    delete view_;
    view_ = nullptr;
    delete tree_;
    tree_ = nullptr;
}

void CBrowseWnd::OnTreeSelection(const std::string& selectionText) { browser_->OnTreeSelection(selectionText); }

void CBrowseWnd::SetFolder(const std::filesystem::path& folder) { browser_->SetFolder(folder); }

bool CBrowseWnd::HandlesCommand(int id) const {
    using namespace CommandId;
    return id == ID_BEGINREADFOLDER || id == ID_TREE_DELETE || browser_->HandlesCommand(id);
}

CommandState CBrowseWnd::CommandStateOf(int id) const {
    using namespace CommandId;
    if (id == ID_BEGINREADFOLDER) return {};
    if (id == ID_TREE_DELETE) return {tree_->SelectedItem() != nullptr, false};
    return browser_->CommandStateOf(id);
}

void CBrowseWnd::OnCommand(int id) {
    using namespace CommandId;
    if (id == ID_BEGINREADFOLDER) {
        browser_->ReadFolder();
        view_->viewport()->update();
        return;
    }
    if (id == ID_TREE_DELETE) return tree_->DeleteSelected();
    browser_->OnCommand(id);
}

TransferOutcome CBrowseWnd::RunTransfer(TransferKind kind, const std::vector<std::filesystem::path>& files,
                                        const std::filesystem::path& folder) {
    FileTransferJob job(kind, files, folder);
    job.Start();
    if (job.WaitFinished(kProgressAfterMs)) return job.outcome();
    // A long run: its progress shows, and it can be stopped (what was done stays done).
    QProgressDialog dialog(kind == TransferKind::Copy ? QStringLiteral("Copying files...") : QStringLiteral("Moving files..."),
                           QStringLiteral("Cancel"), 0, 1000, this);
    dialog.setWindowTitle(kind == TransferKind::Copy ? QStringLiteral("Copy") : QStringLiteral("Move"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(0);
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(100);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        const TransferProgress progress = job.progress();
        if (progress.totalBytes > 0) dialog.setValue(static_cast<int>(1000.0 * progress.doneBytes / progress.totalBytes));
        dialog.setLabelText(ToQt(progress.current.filename().string()));
        if (job.finished()) loop.quit();
    });
    connect(&dialog, &QProgressDialog::canceled, &loop, [&] { job.Cancel(); });
    poll.start();
    loop.exec();
    (void)job.WaitFinished(-1);
    return job.outcome();
}

}  // namespace kv::ui
