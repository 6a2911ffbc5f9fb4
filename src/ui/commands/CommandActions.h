#pragma once

#include <QAction>
#include <QObject>
#include <map>

#include "app/CommandRouter.h"

class QMenu;
class QMenuBar;
class QToolBar;

namespace kv::ui {

// One action per command of the menu table. Triggering an action runs its command through the
// router; the actions' enabled and checked states are asked from the router when a menu opens,
// after every command and on a short idle timer, as the desktop's toolbars expect.
class CommandActions final : public QObject {
    Q_OBJECT
public:
    CommandActions(CommandRouter& router, QWidget* window);

    // Builds the main menu into a menu bar. recentFiles is where the recent files are listed.
    void BuildMenus(QMenuBar& bar);
    QMenu* RecentFilesAnchor() const { return recentMenu_; }
    QAction* RecentFilesSeparator() const { return recentSeparator_; }

    QAction* Action(int id) const;
    // Runs a command as if it was chosen from the menu.
    void Run(int id);
    void UpdateStates();

private:
    QAction* Make(int id, std::string_view text, std::string_view accelerator, bool checkable);

    CommandRouter& router_;
    QWidget* window_;
    std::map<int, QAction*> actions_;
    QMenu* recentMenu_ = nullptr;
    QAction* recentSeparator_ = nullptr;
};

}  // namespace kv::ui
