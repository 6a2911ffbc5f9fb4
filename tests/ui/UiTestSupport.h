#pragma once

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QTimer>
#include <QMimeData>
#include <QTest>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

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
    std::optional<std::filesystem::path> ChooseFolder(QWidget*, const std::filesystem::path& start) override {
        suggestions.push_back(start);
        return Next();
    }
    // The JPEG options offered are recorded; a queued answer replaces them (nothing: cancel), and
    // without one they stand as offered.
    bool ChooseJpegOptions(QWidget*, ui::JpegSaveChoice& choice) override {
        jpegOffers.push_back(choice);
        if (jpegAnswers.empty()) return true;
        const std::optional<ui::JpegSaveChoice> answer = jpegAnswers.front();
        jpegAnswers.pop_front();
        if (answer) choice = *answer;
        return answer.has_value();
    }
    std::deque<std::optional<std::filesystem::path>> answers;
    std::vector<std::filesystem::path> suggestions;
    std::deque<std::optional<ui::JpegSaveChoice>> jpegAnswers;
    std::vector<ui::JpegSaveChoice> jpegOffers;

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
            return browserStarts;
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
    bool browserStarts = true;  // whether the desktop has a web browser to open addresses in
    std::unique_ptr<ui::CKVScaleCrafterApp> app;
};

// A drag that enters a widget, moves over it and is dropped at one point, as the desktop delivers
// it; the action the drop was taken with (IgnoreAction when it was refused).
inline Qt::DropAction DragAndDrop(QWidget* target, const QMimeData* data, QPoint at, Qt::DropActions actions,
                                  Qt::KeyboardModifiers keys = Qt::NoModifier) {
    QDragEnterEvent enter(at, actions, data, Qt::LeftButton, keys);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, actions, data, Qt::LeftButton, keys);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(at), actions, data, Qt::LeftButton, keys);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

// A press on a point of a widget and a move with the button held far enough to start a drag.
inline void PressAndDrag(QWidget* widget, QPoint from) {
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
    const QPoint to = from + QPoint(12, 0);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), widget->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, to);
}

// Answers the menus and dialogs that open next, one step after the other, as a user does. A step
// looks for what it waits for and answers what to do with it (nothing while it is not open yet).
// Each step polls on a timer of its own, so that a step whose action opens a nested loop (a menu
// entry that opens a modal dialog) leaves the next one running; a step still waiting after the
// limit closes what is open and fails.
class UiScript {
public:
    using Step = std::function<std::function<void()>()>;
    explicit UiScript(int limitMs = 20000) : limitMs_(limitMs) { clock_.start(); }

    UiScript& Then(Step step) {
        const size_t index = timers_.size();
        auto timer = std::make_unique<QTimer>();
        QTimer* self = timer.get();
        QObject::connect(self, &QTimer::timeout, [this, index, self, step = std::move(step)] {
            if (started_ != index) return;
            if (const std::function<void()> act = step()) {
                self->stop();
                ++started_;
                act();
            } else if (clock_.elapsed() > limitMs_) {
                self->stop();
                ADD_FAILURE() << "step " << index << " of the script never found what it waits for";
                while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
                if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
            }
        });
        self->start(10);
        timers_.push_back(std::move(timer));
        return *this;
    }
    bool Done() const { return started_ == timers_.size(); }

private:
    int limitMs_;
    QElapsedTimer clock_;
    size_t started_ = 0;
    std::vector<std::unique_ptr<QTimer>> timers_;
};

// A step that chooses the entry of that text in the menu open at the moment (a submenu's entry
// opens the submenu), with the keyboard.
inline UiScript::Step MenuEntry(const QString& text) {
    return [text]() -> std::function<void()> {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return {};
        for (QAction* action : menu->actions())
            if (action->text() == text && action->isEnabled())
                return [menu, action] {
                    menu->setActiveAction(action);
                    QTest::keyClick(menu, action->menu() ? Qt::Key_Right : Qt::Key_Return);
                };
        return {};
    };
}

// A step that answers the modal dialog of a type once it is open: check looks at it, and the
// dialog is then accepted (true) or cancelled.
template <typename Dialog>
UiScript::Step AnswerDialog(std::function<bool(Dialog&)> check) {
    return [check = std::move(check)]() -> std::function<void()> {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return {};
        return [dialog, check] {
            if (check(*dialog)) dialog->accept();
            else dialog->reject();
        };
    };
}

inline QString AccessibleName(QObject* object) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

}  // namespace kv::test
