#pragma once

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <deque>
#include <functional>

#include "common/RecordingTargets.h"
#include "common/TestFiles.h"
#include "ui/App.h"
#include "ui/bridge/FileDialogs.h"
#include "ui/commands/CommandActions.h"
#include "ui/frame/MainFrame.h"

namespace kv::test {

// Lets the event loop run until the condition holds; false after the limit. What QTRY_VERIFY does.
inline bool WaitUntil(const std::function<bool()>& condition, int limitMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limitMs) return false;
        QTest::qWait(5);
    }
    return true;
}

// Answers the file dialogs with paths a test queued; nothing (cancel) when none is queued.
class QueuedFileDialogs final : public ui::IFileDialogs {
public:
    std::optional<std::filesystem::path> ChooseImageToOpen(QWidget*, const std::filesystem::path&) override {
        return Next();
    }
    std::optional<std::filesystem::path> ChooseSavePath(QWidget*, const std::filesystem::path& suggested) override {
        suggestions.push_back(suggested);
        return Next();
    }
    std::deque<std::optional<std::filesystem::path>> answers;
    std::vector<std::filesystem::path> suggestions;

private:
    std::optional<std::filesystem::path> Next() {
        if (answers.empty()) return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// The whole program in the test's process: its settings, presets and recent files in a folder of
// the test, its messages and file dialogs answered by the test, its web addresses recorded.
class AppFixture : public testing::Test {
protected:
    void SetUp() override { Start(); }
    void TearDown() override { Stop(); }

    SpecialFolders Folders() const {
        SpecialFolders folders;
        folders.configHome = dir / "config";
        folders.dataHome = dir / "data";
        folders.cacheHome = dir / "cache";
        folders.pictures = dir.path();
        folders.programFolder = dir / "program";
        return folders;
    }

    void Start(const std::vector<std::string>& arguments = {}) {
        ui::AppEnvironment environment;
        environment.folders = Folders();
        environment.prompt = &prompt;
        environment.fileDialogs = &dialogs;
        environment.openUrl = [this](const QUrl& url) {
            openedUrls.push_back(url);
            return true;
        };
        app = std::make_unique<ui::CKVScaleCrafterApp>(std::move(environment));
        ASSERT_TRUE(app->InitInstance(arguments));
        app->Frame().resize(1280, 900);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&app->Frame()));
    }

    // Ends the program as closing its window does.
    void Stop() {
        if (!app) return;
        app->Frame().close();
        app->ExitInstance();
        app.reset();
    }

    std::filesystem::path Copy(const std::string& name, const std::string& as = {}) {
        const std::filesystem::path target = dir / (as.empty() ? name : as);
        std::filesystem::copy_file(DataPath(name), target, std::filesystem::copy_options::overwrite_existing);
        return target;
    }

    // A command chosen from the menu.
    void Run(int id) { app->Frame().Actions().Run(id); }

    TempDir dir;
    RecordingUserPrompt prompt;
    QueuedFileDialogs dialogs;
    std::vector<QUrl> openedUrls;
    std::unique_ptr<ui::CKVScaleCrafterApp> app;
};

inline QString AccessibleName(QObject* object) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

}  // namespace kv::test
