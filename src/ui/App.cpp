#include "ui/App.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QWhatsThis>

#include "app/EarlyExit.h"
#include "app/HelpPages.h"
#include "app/InitialBrowseFolder.h"
#include "app/PresetPicker.h"
#include "app/ProgramVersion.h"
#include "app/SettingsFile.h"
#include "base/CommandIds.h"
#include "batch/BatchFile.h"
#include "batch/BatchSettingsForm.h"
#include "browser/BasketBrowser.h"
#include "browser/ImgThumbsBrowser.h"
#include "browser/SortModes.h"
#include "browser/ThumbnailCache.h"
#include "browser/ThumbsBuilderThreads.h"
#include "ui/batch/BasketView.h"
#include "ui/batch/BatchDlg.h"
#include "ui/batch/BatchProgressDlg.h"
#include "ui/bridge/DesktopTaskbar.h"
#include "ui/browse/BrowseWnd.h"
#include "ui/browser/QtFileClipboard.h"
#include "ui/bridge/DefaultPrinter.h"
#include "ui/bridge/FileDialogs.h"
#include "ui/bridge/GuiCommandTarget.h"
#include "ui/bridge/ImageConversion.h"
#include "ui/bridge/Imaging.h"
#include "ui/bridge/MessageBoxPrompt.h"
#include "ui/commands/CommandActions.h"
#include "ui/dialogs/GadgetDlg.h"
#include "ui/dialogs/ImageInfoDlg.h"
#include "ui/frame/ContextHelp.h"
#include "ui/frame/MainFrame.h"
#include "ui/frame/ToolbarIcons.h"
#include "ui/resizebar/ResizeDlgBar.h"
#include "ui/update/UpdateChecker.h"
#include "ui/view/KVScaleCrafterView.h"

namespace kv::ui {

namespace {

using namespace CommandId;

constexpr std::string_view kBatchPresetFolder = "Batches";
// A batch that ran longer than this tells the desktop when it ends while the window is not active.
constexpr qint64 kNotifyAfterMs = 10000;
// How long the status bar says where the manual is, after F1.
constexpr int kManualMessageMs = 15000;

QString ToQt(const std::filesystem::path& path) { return QFile::decodeName(path.string().c_str()); }

const DefaultPrinter kDefaultPrinter;

}  // namespace

CKVScaleCrafterApp::CKVScaleCrafterApp(AppEnvironment environment) : environment_(std::move(environment)) {
    prompt_ = environment_.prompt;
    if (!prompt_) {
        ownPrompt_ = std::make_unique<MessageBoxPrompt>([this]() -> QWidget* { return frame_.get(); });
        prompt_ = ownPrompt_.get();
    }
    fileDialogs_ = environment_.fileDialogs;
    if (!fileDialogs_) {
        ownFileDialogs_ = std::make_unique<QtFileDialogs>();
        fileDialogs_ = ownFileDialogs_.get();
    }
}

CKVScaleCrafterApp::~CKVScaleCrafterApp() {
    // The preview worker posts nothing more once the target is taken from the document; the window
    // goes before the document it shows.
    if (document_) document_->SetFrame(nullptr);
    delete about_;
    if (decodeAhead_.valid()) decodeAhead_.wait();
    if (startPhoto_.valid()) startPhoto_.wait();
    frame_.reset();
    // The builder threads end before the browser they tell about new thumbnails goes.
    if (builders_) builders_->Stop();
    basket_.reset();
    builders_.reset();
    diskCache_.reset();
    document_.reset();
    presenter_.reset();
    batchList_.reset();
    commandTarget_.reset();
}

ICommandTarget& CKVScaleCrafterApp::CommandTarget() { return *commandTarget_; }

bool CKVScaleCrafterApp::InitInstance(const std::vector<std::string>& arguments) {
    const SpecialFolders& folders = environment_.folders;
    StartImaging();

    const StartupRequest request = ParseCommandLine(arguments);
    store_ = std::make_unique<SettingsStore>(folders.SettingsFile());
    if (request.endsEarly()) {
        RunEarlyExit(request, folders);
        store_->SkipSave();
        endedEarly_ = true;
        return false;
    }

    // A photo named on the command line is read and decoded while the window is being built (from
    // before the toolkit starts, when the program's entry began it); the document takes it at the
    // end of start-up.
    if (request.open() == StartOpen::Document)
        startPhoto_ = environment_.startPhoto.valid()
                          ? std::move(environment_.startPhoto)
                          : std::async(std::launch::async, PrepareImage, request.files.front(), true);

    // The settings, in the order start-up reads them.
    recent_.Load(store_->profile());
    store_->LoadMain(stored_.resize);
    store_->LoadInterface(stored_);
    SetPicturesUpright(!stored_.keepOrientation);
    colors_ = ReadBrowserColors(folders.ResourceFile());
    store_->LoadBatch(stored_.batch);
    store_->LoadInternet(stored_.internet);

    // The document, the settings bar and the frame.
    // Commands that worker threads post reach their handlers as the menus' commands do.
    commandTarget_ = std::make_unique<GuiCommandTarget>();
    commandTarget_->SetHandler([this](int id) {
        if (frame_) router_.Execute(id);
    });
    batchList_ = std::make_unique<BatchList>(stored_.resize, prompt_);
    presenter_ = std::make_unique<ResizeBarPresenter>(stored_.resize);
    presenter_->SetBatchStamping(batchList_.get());
    presenter_->SetDefaultPrinter(&kDefaultPrinter);
    document_ = std::make_unique<CKVScaleCrafterDoc>(stored_.resize, prompt_, nullptr);
    document_->SetHost(this);
    document_->SetOpener(this);

    SplitterMemory memory{[this] { return ReadRightHeight(store_->profile()); },
                          [this](int height) {
                              WriteRightHeight(store_->profile(), height);
                              store_->profile().Flush();
                          }};
    frame_ = std::make_unique<CMainFrame>(router_, stored_.resize, *presenter_, *document_, std::move(memory));

    // The batch list's thumbnails: the program's one cache and builder threads.
    EnsurePrivateFolder(folders.CacheFolder());
    thumbCache_ = std::make_unique<CMapStringToObPlus>(folders.CacheFolder());
    // The program holds the disk cache for as long as it runs: the batch list and each browse window
    // share it, and the last of them saves it.
    diskCache_ = std::make_unique<DiskCacheLifetime>(*thumbCache_, CMapStringToObPlus::LegacyFile(folders.CacheFolder()));
    builders_ = std::make_unique<CThumbsBuilderThreads>(*thumbCache_);
    clipboard_ = std::make_unique<QtFileClipboard>();
    ThumbsBrowserServices services{.cache = *thumbCache_,
                                   .builders = builders_.get(),
                                   .prompt = prompt_,
                                   .clipboard = clipboard_.get(),
                                   .sortMode = ReadSortMode(folders.WinIniFile()),
                                   .zoom = stored_.iconsZoom};
    basket_ = std::make_unique<CBasketBrowser>(*batchList_, services, this);
    basket_->SetBatchModeRequest([this] {
        if (!stored_.resize.batchMode) frame_->ToggleBatchMode();
    });
    frame_->AttachBatchList(*basket_, colors_);
    taskbar_ = std::make_unique<DesktopTaskbar>();
    router_.SetHandler(CommandRoute::Frame, frame_.get());
    router_.SetHandler(CommandRoute::Document, document_.get());
    router_.SetHandler(CommandRoute::App, this);
    document_->SetFrame(commandTarget_.get());
    libraries_ = std::make_unique<CWin7Library>(environment_.folders);
    (void)libraries_->Start();
    frame_->SetBrowseFactory([this](QWidget* parent) { return MakeBrowseWindow(parent); });
    frame_->Actions().UpdateStates();
    frame_->SettingsBar().SetDocument(nullptr);
    ShowRecentFiles();
    connect(&frame_->View(), &CKVScaleCrafterView::FilesDropped, this,
            [this](const std::vector<std::filesystem::path>& files) { OnFilesDropped(files); });
    connect(frame_.get(), &CMainFrame::Closing, this, [this] {
        QWhatsThis::leaveWhatsThisMode();
        if (about_) about_->close();
    });

    if (environment_.showWindow) {
        // Without a window manager "maximised" means nothing; the window then takes the screen.
        if (const QScreen* screen = frame_->screen()) frame_->resize(screen->availableGeometry().size());
        frame_->showMaximized();
    }

    store_->LoadBrowser(stored_);
    basket_->SetZoom(stored_.iconsZoom);
    if (stored_.internet.checkAtStart) CheckForUpdate(false);
    OpenStartFiles(request);
    return true;
}

void CKVScaleCrafterApp::ExitInstance() {
    if (!store_ || endedEarly_) return;
    recent_.Save(store_->profile());
    if (thumbCache_) thumbCache_->SaveAll();
    if (!store_->Save(stored_) && prompt_)
        prompt_->ShowMessage("Can't write file\n" + environment_.folders.SettingsFile().string() + "!");
}

void CKVScaleCrafterApp::OpenStartFiles(const StartupRequest& request) {
    switch (request.open()) {
        case StartOpen::Nothing: break;
        case StartOpen::Document: OpenDocumentFile(request.files.front(), startPhoto_.get()); break;
        case StartOpen::BatchList:
            batchList_->ReplaceWithFiles(request.files);
            if (!stored_.resize.batchMode && !batchList_->empty()) frame_->ToggleBatchMode();
            break;
    }
}

// ---- The document and its windows ----

bool CKVScaleCrafterApp::OpenDocumentFile(const std::filesystem::path& path) { return OpenDocumentFile(path, {}); }

bool CKVScaleCrafterApp::OpenDocumentFile(const std::filesystem::path& path, std::optional<PreparedImage> prepared) {
    if (decodeAhead_.valid()) decodeAhead_.wait();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Opening shows the photo in the navigator, from a quick reduced decode where the format has one.
    const bool opened = prepared ? document_->OnOpenDocument(path, std::move(*prepared)) : document_->OnOpenDocument(path);
    QApplication::restoreOverrideCursor();
    // The whole photo is decoded while the window lays itself out and paints its bars.
    if (opened) decodeAhead_ = DecodeAhead(document_->SharedImage());
    if (opened) recent_.Add(path);
    else recent_.Remove(path);
    ShowRecentFiles();
    frame_->SetDocumentTitle(document_->HasImage() ? ToQt(document_->Path().filename()) : QString());
    frame_->View().OnInitialUpdate();
    frame_->SettingsBar().SetDocument(document_.get());
    UpdateAllViews();
    frame_->Actions().UpdateStates();
    return opened;
}

void CKVScaleCrafterApp::UpdateAllViews() {
    if (frame_) frame_->UpdateAllViews();
}

void CKVScaleCrafterApp::ShowInSettingsBar(IResizeDocument&) {
    if (frame_) frame_->SettingsBar().SetDocument(document_.get());
}

bool CKVScaleCrafterApp::BrowseWindowShowing() const { return frame_ && frame_->BrowseWindow() != nullptr; }

void CKVScaleCrafterApp::ShowCurrentDocument() {
    // The photo chosen in the batch list is shown in the main view, which the browse window covers.
    if (BrowseWindowShowing()) frame_->ToggleBrowse();
}

CBrowseWnd* CKVScaleCrafterApp::MakeBrowseWindow(QWidget* parent) {
    const SpecialFolders& folders = environment_.folders;
    ThumbsBrowserServices browser{*thumbCache_, builders_.get(), prompt_, clipboard_.get(),
                                  ReadSortMode(folders.WinIniFile()), stored_.iconsZoom};
    const std::string start = ChooseInitialBrowseFolder(stored_.browseDefault, folders);
    BrowseServices services{browser, *commandTarget_, folders, libraries_.get(), colors_, start};
    BrowseMemory memory{[this] { return ReadLeftWidth(store_->profile()); },
                        [this](int width) { WriteLeftWidth(store_->profile(), width); },
                        [this] { return ReadTreeSelection(store_->profile()); },
                        [this](const std::string& record) { WriteTreeSelection(store_->profile(), record); },
                        [this](const std::string& folder) {
                            if (!folder.empty()) stored_.browseDefault = folder;
                        }};
    auto* window = new CBrowseWnd(std::move(services), std::move(memory), parent);
    connect(window, &CBrowseWnd::PropertiesRequested, this,
            [this](const std::filesystem::path& file) { ShowImageInfo(file, frame_.get()); });
    return window;
}

void CKVScaleCrafterApp::ShowRecentFiles() {
    std::vector<std::string> texts;
    for (size_t i = 0; i < recent_.files().size(); ++i) texts.push_back(recent_.MenuText(i));
    if (frame_) frame_->SetRecentFiles(texts);
}

void CKVScaleCrafterApp::OnFilesDropped(const std::vector<std::filesystem::path>& files) {
    // In batch mode dropped photos join the batch list; otherwise the first one is opened.
    if (stored_.resize.batchMode) batchList_->AddFiles(files);
    else OpenDocumentFile(files.front());
}

// ---- Commands ----

namespace {
// The recent files' commands, one for each place of the list.
bool IsRecentFile(int id) {
    return id >= ID_FILE_MRU_FILE1 && id < ID_FILE_MRU_FILE1 + static_cast<int>(RecentFileList::kSize);
}
}  // namespace

bool CKVScaleCrafterApp::HandlesCommand(int id) const {
    if (IsRecentFile(id)) return true;
    switch (id) {
        case ID_FILE_OPEN:
        case ID_FILE_SAVE:
        case ID_IMAGE_INFO:
        case ID_SETTINGS_SAVE:
        case ID_SETTINGS_LOAD:
        case ID_APP_EXIT:
        case ID_BATCH_LOAD:
        case ID_BATCH_SAVE:
        case ID_BATCH_RUN:
        case ID_VIEW_LARGE_ICONS:
        case ID_VIEW_SMALL_ICONS:
        case ID_VIEW_UPRIGHT:
        case ID_HELP_TOPICS:
        case ID_CONTEXT_HELP:
        case ID_HOME_PAGE:
        case ID_CHECK_UPDATE:
        case ID_APP_ABOUT: return true;
        default: return false;
    }
}

CommandState CKVScaleCrafterApp::CommandStateOf(int id) const {
    const bool image = document_ && document_->HasImage();
    if (IsRecentFile(id)) return {static_cast<size_t>(id - ID_FILE_MRU_FILE1) < recent_.files().size(), false};
    switch (id) {
        case ID_FILE_SAVE:
        case ID_IMAGE_INFO: return {image, false};
        case ID_SETTINGS_LOAD:
            return {!ListPresets(environment_.folders.PresetFolder(kSettingsPresetFolder), kSettingsFileExtension).empty(),
                    false};
        case ID_BATCH_SAVE: return {stored_.resize.batchMode && !batchList_->empty(), false};
        case ID_BATCH_RUN: return {stored_.resize.batchMode && !batchList_->empty() && !BrowseWindowShowing(), false};
        case ID_VIEW_LARGE_ICONS: return {true, stored_.iconsZoom != kSmallIconsZoom};
        case ID_VIEW_SMALL_ICONS: return {true, stored_.iconsZoom == kSmallIconsZoom};
        case ID_VIEW_UPRIGHT: return {true, !stored_.keepOrientation};
        default: return {};
    }
}

void CKVScaleCrafterApp::OnCommand(int id) {
    if (IsRecentFile(id)) {
        const size_t index = static_cast<size_t>(id - ID_FILE_MRU_FILE1);
        if (index < recent_.files().size()) OpenDocumentFile(std::filesystem::path(recent_.files()[index]));
        return;
    }
    switch (id) {
        case ID_FILE_OPEN: OnFileOpen(); break;
        case ID_FILE_SAVE: OnResizeAndSave(); break;
        case ID_IMAGE_INFO: ShowImageInfo(document_->Path(), frame_.get()); break;
        case ID_SETTINGS_SAVE: OnSaveSettings(); break;
        case ID_SETTINGS_LOAD: OnLoadSettings(); break;
        case ID_BATCH_LOAD: OnBatchLoad(); break;
        case ID_BATCH_SAVE: OnBatchSave(); break;
        case ID_BATCH_RUN: OnBatchRun(); break;
        case ID_VIEW_LARGE_ICONS: SetZoom(kLargeIconsZoom); break;
        case ID_VIEW_SMALL_ICONS: SetZoom(kSmallIconsZoom); break;
        case ID_VIEW_UPRIGHT: TogglePicturesUpright(); break;
        case ID_APP_EXIT: frame_->close(); break;
        case ID_HELP_TOPICS: OnHelp(); break;
        case ID_CONTEXT_HELP: QWhatsThis::enterWhatsThisMode(); break;
        case ID_HOME_PAGE: OnHomePage(); break;
        case ID_CHECK_UPDATE: CheckForUpdate(true); break;
        case ID_APP_ABOUT: OnAbout(); break;
        default: break;
    }
}

void CKVScaleCrafterApp::TogglePicturesUpright() {
    stored_.keepOrientation = !stored_.keepOrientation;
    SetPicturesUpright(!stored_.keepOrientation);
    // The open photo takes its new shape, and thumbnails made the other way are made again.
    if (document_->HasImage()) OpenDocumentFile(document_->Path());
    basket_->OnCommand(ID_VIEW_REFRESH);
    if (CBrowseWnd* browse = frame_->BrowseWindow()) browse->Browser().OnCommand(ID_VIEW_REFRESH);
    frame_->Actions().UpdateStates();
}

std::filesystem::path CKVScaleCrafterApp::DefaultOpenFolder() const {
    if (document_->HasImage()) return document_->Path().parent_path();
    return environment_.folders.pictures;
}

void CKVScaleCrafterApp::OnFileOpen() {
    const std::optional<std::filesystem::path> path = fileDialogs_->ChooseImageToOpen(frame_.get(), DefaultOpenFolder());
    if (!path) return;
    if (path->empty()) {
        prompt_->ShowMessage("Can't open file!");
        return;
    }
    OpenDocumentFile(*path);
}

void CKVScaleCrafterApp::OnResizeAndSave() {
    if (!document_->HasImage()) return;
    // The dialog starts beside the image with a name that says what the result is.
    const std::filesystem::path& source = document_->Path();
    std::string extension = source.extension().string();
    if (!IsWritableImageFile(source)) extension = ".jpg";
    const ResizeSettings& settings = stored_.resize;
    const std::filesystem::path suggested =
        source.parent_path() / (source.stem().string() + "_RESIZED_TO_" + std::to_string(settings.width) + "x" +
                                std::to_string(settings.height) + extension);
    const std::optional<std::filesystem::path> path = fileDialogs_->ChooseSavePath(frame_.get(), suggested);
    if (!path) return;
    // A JPEG result asks for its quality, offering the original's where the original has one.
    if (IsJpegFile(*path)) {
        JpegSaveChoice choice{settings.jpegQuality, settings.sameJpegQuality, document_->OriginalJpegQuality()};
        if (!fileDialogs_->ChooseJpegOptions(frame_.get(), choice)) return;
        stored_.resize.jpegQuality = choice.quality;
        stored_.resize.sameJpegQuality = choice.sameAsOriginal;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool saved = document_->OnResizeAndSave(*path);
    QApplication::restoreOverrideCursor();
    if (saved) frame_->ShowPassingMessage(QStringLiteral("Saved ") + ToQt(*path), 10000);
}

std::optional<std::filesystem::path> CKVScaleCrafterApp::ChoosePreset(const std::string& title,
                                                                      std::string_view subfolder,
                                                                      std::string_view extension,
                                                                      PresetPickerMode mode) {
    PresetPicker picker(title, environment_.folders.PresetFolder(subfolder), std::string(extension), mode, *prompt_);
    if (!picker.Open()) return std::nullopt;
    CGadgetDlg dialog(picker, frame_.get());
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return picker.chosenPath();
}

void CKVScaleCrafterApp::OnSaveSettings() {
    if (const auto path = ChoosePreset("Save settings", kSettingsPresetFolder, kSettingsFileExtension, PresetPickerMode::Save))
        SaveSettingsFile(*path, stored_.resize, *prompt_);
}

void CKVScaleCrafterApp::OnLoadSettings() {
    const auto path = ChoosePreset("Load settings", kSettingsPresetFolder, kSettingsFileExtension, PresetPickerMode::Load);
    if (!path || !LoadSettingsFile(*path, stored_.resize, *prompt_)) return;
    // The bar shows the loaded settings and the document starts its preview again.
    frame_->SettingsBar().SetDocument(document_.get());
    document_->OnSettingsChanged();
}

void CKVScaleCrafterApp::OnBatchLoad() {
    const auto path = ChoosePreset("Load batch", kBatchPresetFolder, kBatchFileExtension, PresetPickerMode::Load);
    if (!path) return;
    batchList_->Load(*path);
    if (!stored_.resize.batchMode && !batchList_->empty()) frame_->ToggleBatchMode();
}

void CKVScaleCrafterApp::OnBatchSave() {
    if (const auto path = ChoosePreset("Save batch", kBatchPresetFolder, kBatchFileExtension, PresetPickerMode::Save))
        batchList_->Save(*path);
}

void CKVScaleCrafterApp::SetZoom(int zoom) {
    // Choosing the zoom in force changes nothing, not even the batch row's height.
    if ((zoom == kSmallIconsZoom) == (stored_.iconsZoom == kSmallIconsZoom)) return;
    stored_.iconsZoom = zoom;
    frame_->OnZoomChanged(zoom);
}

void CKVScaleCrafterApp::OnBatchRun() {
    if (batchList_->empty()) return;
    FolderPicker picker = [this](QWidget* parent, const std::filesystem::path& start) {
        return fileDialogs_->ChooseFolder(parent, start);
    };
    CBatchDlg settingsDialog(stored_.batch, DefaultOutputFolder(environment_.folders), *prompt_, std::move(picker),
                             frame_.get(), environment_.folders.home);
    if (settingsDialog.exec() != QDialog::Accepted) return;
    stored_.batch = settingsDialog.Result();

    std::vector<CItem> items;
    items.reserve(batchList_->size());
    for (size_t i = 0; i < batchList_->size(); ++i) items.push_back(batchList_->item(i));
    BatchRunWatchers watchers;
    watchers.progress = [this](std::optional<double> fraction) { taskbar_->SetProgress(fraction); };
    watchers.ended = [this](qint64 elapsedMs, int written, int failures) {
        if (elapsedMs > kNotifyAfterMs && !frame_->isActiveWindow())
            taskbar_->Notify(BatchEndedSummary(failures), BatchEndedBody(written, failures, elapsedMs));
    };
    CBatchProgressDlg progress(std::move(items), stored_.batch, stored_.resize.correction == SizeCorrection::Crop,
                               *prompt_, std::move(watchers), frame_.get());
    QMetaObject::invokeMethod(this, [this, &progress] { emit BatchRunOpened(&progress); }, Qt::QueuedConnection);
    progress.exec();
}

QUrl CKVScaleCrafterApp::HelpPage(const QString& page) const {
    // "page.html#part": the page of the installed manual, or its first page when that one is missing.
    const QString file = page.section(u'#', 0, 0);
    const QString anchor = page.section(u'#', 1);
    const std::filesystem::path folder = environment_.folders.HelpFolder();
    std::error_code error;
    for (const std::filesystem::path& candidate : {folder / file.toStdString(), folder / help::kWindow}) {
        if (!std::filesystem::is_regular_file(candidate, error)) continue;
        QUrl url = QUrl::fromLocalFile(ToQt(candidate));
        if (candidate.filename() == file.toStdString() && !anchor.isEmpty()) url.setFragment(anchor);
        return url;
    }
    return {};
}

bool CKVScaleCrafterApp::OpenUrl(const QUrl& url) {
    return environment_.openUrl ? environment_.openUrl(url) : QDesktopServices::openUrl(url);
}

void CKVScaleCrafterApp::OnHelp() {
    // The page that explains the part of the window with the focus. Where it cannot be shown, the
    // user is told where the manual is (or should be), so that it can be opened by hand.
    const QUrl page = HelpPage(HelpPageFor(QApplication::focusWidget()));
    if (page.isEmpty()) {
        prompt_->ShowMessage("The manual is not installed; it belongs in the folder\n" +
                             environment_.folders.HelpFolder().string());
        return;
    }
    const QString file = page.toLocalFile();
    frame_->ShowPassingMessage(QStringLiteral("The manual: ") + file, kManualMessageMs);
    if (!OpenUrl(page))
        prompt_->ShowMessage("No web browser could be started to show the manual.\nThe manual is the file\n" +
                             file.toStdString() + "\nwhich any web browser opens.");
}

void CKVScaleCrafterApp::OnHomePage() {
    if (!OpenUrl(QUrl(QString::fromStdString(stored_.internet.homePage)))) prompt_->Beep();
}

QString CKVScaleCrafterApp::AboutText() { return QString::fromStdString(AboutVersionLine(CurrentProgramVersion())); }

void CKVScaleCrafterApp::OnAbout() {
    if (about_) return about_->raise();
    about_ = new QMessageBox(frame_.get());
    about_->setAttribute(Qt::WA_DeleteOnClose);
    about_->setObjectName(QStringLiteral("AboutBox"));
    about_->setWindowTitle(QStringLiteral("About KARVO Scale Crafter"));
    about_->setIconPixmap(ProgramIcon().pixmap(64, 64));
    about_->setText(AboutText());
    about_->setInformativeText(QStringLiteral("A photo resizer: ten resampling algorithms, five of them edge-aware "
                                              "enlargers of its own, with a live preview of the visible part."));
    connect(about_, &QObject::destroyed, this, [this] { about_ = nullptr; });
    about_->open();
}

void CKVScaleCrafterApp::CheckForUpdate(bool userAsked) {
    if (!updateChecker_) updateChecker_ = new UpdateChecker(QString::fromStdString(stored_.internet.updateAddress), this);
    if (updateChecker_->IsChecking()) return;
    // The answer arrives later; at start-up only news is worth a word.
    disconnect(updateChecker_, &UpdateChecker::Answered, this, nullptr);
    connect(updateChecker_, &UpdateChecker::Answered, this, [this, userAsked](std::optional<ProgramVersion> latest) {
        const QString text = QString::fromStdString(UpdateAnswerText(latest, CurrentProgramVersion()));
        emit UpdateAnswered(text);
        const bool news = latest && IsNewer(*latest, CurrentProgramVersion());
        if (userAsked || news) prompt_->ShowMessage(text.toStdString());
    });
    updateChecker_->Check();
}

}  // namespace kv::ui
