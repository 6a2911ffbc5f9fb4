#pragma once

#include <QObject>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/BrowserColors.h"
#include "app/CommandLine.h"
#include "app/DesktopSettings.h"
#include "app/PresetPicker.h"
#include "app/RecentFileList.h"
#include "app/ResizeBarPresenter.h"
#include "app/SettingsStore.h"
#include "base/CommandRouter.h"
#include "batch/BatchList.h"
#include "batch/IBatchListListener.h"
#include "document/IDocumentHost.h"
#include "document/KVScaleCrafterDoc.h"
#include "browser/ThumbnailCache.h"
#include "browser/ThumbsBuilderThreads.h"
#include "platform/SpecialFolders.h"
#include "platform/Win7Library.h"

class QMessageBox;

namespace kv {
class CBasketBrowser;
class CMapStringToObPlus;
class DiskCacheLifetime;
class CThumbsBuilderThreads;
}  // namespace kv

namespace kv::ui {

class CBatchProgressDlg;
class DesktopTaskbar;
class QtFileClipboard;
class CBrowseWnd;
class CMainFrame;
class GuiCommandTarget;
class IFileDialogs;
class MessageBoxPrompt;
class QtFileDialogs;
class UpdateChecker;

// What the program takes from its surroundings. Tests give folders of their own and answer the
// message boxes and file dialogs themselves.
struct AppEnvironment {
    SpecialFolders folders;
    IUserPrompt* prompt = nullptr;        // none: message boxes
    IFileDialogs* fileDialogs = nullptr;  // none: the desktop's file dialogs
    // The photo of the command line, already being read by the program's entry (none: start-up
    // begins reading it).
    std::future<PreparedImage> startPhoto;
    std::function<bool(const QUrl&)> openUrl;  // none: the desktop's browser
    bool showWindow = true;
};

// The application: builds the settings, the document, the settings bar's presenter and the main
// frame in the order of start-up, carries the application's commands (open, save, recent files,
// presets, image details, help, home page, update check, about) as the last stop of the command
// routing, and writes the settings at exit.
class CKVScaleCrafterApp final : public QObject,
                                 public ICommandHandler,
                                 public IDocumentHost,
                                 public IDocumentOpener,
                                 public IBatchItemHost {
    Q_OBJECT
public:
    explicit CKVScaleCrafterApp(AppEnvironment environment);
    ~CKVScaleCrafterApp() override;

    // Start-up. False when the program ends at once: a register, unregister or automation run.
    bool InitInstance(const std::vector<std::string>& arguments);
    // Writes the settings, unless start-up ended early.
    void ExitInstance();

    CMainFrame& Frame() { return *frame_; }
    CKVScaleCrafterDoc& Document() { return *document_; }
    ResizeBarPresenter& Presenter() { return *presenter_; }
    ResizeSettings& Settings() { return stored_.resize; }
    StoredSettings& Stored() { return stored_; }
    BatchList& Batch() { return *batchList_; }
    CBasketBrowser& Basket() { return *basket_; }
    CMapStringToObPlus& ThumbnailCache() { return *thumbCache_; }
    const RecentFileList& RecentFiles() const { return recent_; }
    CommandRouter& Router() { return router_; }
    InternetSettings& Internet() { return stored_.internet; }
    const BrowserColors& Colors() const { return colors_; }
    // Where worker threads post their notices for the window.
    ICommandTarget& CommandTarget();

    // The About box's text and the answer of the update check, as the user sees them.
    static QString AboutText();
    QMessageBox* AboutBox() const { return about_; }

    bool OpenDocumentFile(const std::filesystem::path& path) override;
    bool OpenDocumentFile(const std::filesystem::path& path, std::optional<PreparedImage> prepared);
    void UpdateAllViews() override;
    void ShowInSettingsBar(IResizeDocument& document) override;

    bool HandlesCommand(int id) const override;
    CommandState CommandStateOf(int id) const override;
    void OnCommand(int id) override;

    // Choosing an item of the batch list.
    bool BrowseWindowShowing() const override;
    void ShowCurrentDocument() override;
    void OpenDocument(const std::filesystem::path& path) override { OpenDocumentFile(path); }

signals:
    // The update check answered; text is what the user is told.
    void UpdateAnswered(QString text);
    // "Batch processing" is open and its run about to start (tests drive it from here).
    void BatchRunOpened(CBatchProgressDlg* dialog);

private:
    void OnFileOpen();
    void OnFilesDropped(const std::vector<std::filesystem::path>& files);
    void OnResizeAndSave();
    // The preset dialog over a folder of named presets; the chosen file, or nothing.
    std::optional<std::filesystem::path> ChoosePreset(const std::string& title, std::string_view subfolder,
                                                      std::string_view extension, PresetPickerMode mode);
    void OnSaveSettings();
    void OnLoadSettings();
    void OnBatchLoad();
    void OnBatchSave();
    void OnBatchRun();
    void SetZoom(int zoom);
    // "Turn Photos Upright": photos upright by their orientation tag, or as their files store them.
    void TogglePicturesUpright();
    void OnHelp();
    void OnHomePage();
    void OnAbout();
    void CheckForUpdate(bool userAsked);
    bool OpenUrl(const QUrl& url);
    void ShowRecentFiles();
    CBrowseWnd* MakeBrowseWindow(QWidget* parent);
    void OpenStartFiles(const StartupRequest& request);
    std::filesystem::path DefaultOpenFolder() const;
    QUrl HelpPage(const QString& page) const;

    AppEnvironment environment_;
    IUserPrompt* prompt_ = nullptr;
    IFileDialogs* fileDialogs_ = nullptr;
    std::unique_ptr<MessageBoxPrompt> ownPrompt_;
    std::unique_ptr<QtFileDialogs> ownFileDialogs_;

    std::unique_ptr<SettingsStore> store_;
    StoredSettings stored_;
    RecentFileList recent_;
    BrowserColors colors_;  // for the thumbnail views of batch mode
    bool endedEarly_ = false;

    CommandRouter router_;
    std::unique_ptr<GuiCommandTarget> commandTarget_;
    std::unique_ptr<BatchList> batchList_;
    // The thumbnails, their builders and the libraries outlive every window that shows them.
    std::unique_ptr<CMapStringToObPlus> thumbCache_;
    std::unique_ptr<DiskCacheLifetime> diskCache_;
    std::unique_ptr<CThumbsBuilderThreads> builders_;
    std::unique_ptr<CWin7Library> libraries_;
    std::unique_ptr<QtFileClipboard> clipboard_;
    std::unique_ptr<CBasketBrowser> basket_;
    std::unique_ptr<DesktopTaskbar> taskbar_;
    std::unique_ptr<ResizeBarPresenter> presenter_;
    std::unique_ptr<CKVScaleCrafterDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
    UpdateChecker* updateChecker_ = nullptr;
    std::future<void> decodeAhead_;
    std::future<PreparedImage> startPhoto_;
    QMessageBox* about_ = nullptr;
};

}  // namespace kv::ui
