#pragma once

#include <QAction>
#include <QObject>
#include <map>

#include "app/CommandTable.h"
#include "base/CommandRouter.h"

class QMenu;
class QMenuBar;
class QToolBar;

namespace kv::ui {

// One action per command of the menus and the toolbar, as the command table lists them. Triggering
// an action runs its command through the router; the actions' enabled and checked states are
// asked from the router when a menu opens, after every command and on a short idle timer, as the
// desktop's toolbars expect.
class CommandActions final : public QObject {
    Q_OBJECT
public:
    CommandActions(CommandRouter& router, QWidget* window);

    // Builds the menus of the menu bar into it, and the toolbar's "View" popup.
    void BuildMenus(QMenuBar& bar);
    // Where the File menu lists the recent files: before this separator.
    QMenu* RecentFilesAnchor() const { return recentMenu_; }
    QAction* RecentFilesSeparator() const { return recentSeparator_; }
    // The popup of the toolbar's "View" button.
    QMenu& IconsPopup() const { return *iconsPopup_; }

    QAction* Action(int id) const;
    // Runs a command as if it was chosen from the menu.
    void Run(int id);
    void UpdateStates();

private:
    QAction* Make(const CommandEntry& entry);
    void Fill(QMenu& menu, Menu which);

    CommandRouter& router_;
    QWidget* window_;
    std::map<int, QAction*> actions_;
    QMenu* recentMenu_ = nullptr;
    QAction* recentSeparator_ = nullptr;
    QMenu* iconsPopup_ = nullptr;
};

}  // namespace kv::ui
