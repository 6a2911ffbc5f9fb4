#include "ui/commands/CommandActions.h"

#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include "app/CommandIds.h"
#include "app/CommandTable.h"

namespace kv::ui {

namespace {
constexpr int kIdleUpdateMs = 250;
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
}  // namespace

CommandActions::CommandActions(CommandRouter& router, QWidget* window)
    : QObject(window), router_(router), window_(window) {
    for (const Menu& menu : MainMenu())
        for (const MenuEntry& entry : menu.entries)
            if (entry.id) {
                QAction* action = Make(entry.id, entry.text, entry.accelerator, entry.kind == CommandKind::Checkable);
                if (!entry.prompt.empty()) action->setStatusTip(Q(entry.prompt));
            }
    // The toolbar's own commands that no menu lists.
    Make(CommandIds::ID_BROWSE_DONE, "Done", {}, false);
    Make(CommandIds::ID_BATCH_REMOVE, "&Remove", "Delete", false);
    Make(CommandIds::ID_VIEW_ICONS, "&View", {}, false);
    for (ToolbarSet set : {ToolbarSet::Single, ToolbarSet::Batch, ToolbarSet::Browse})
        for (const ToolbarButton& button : ToolbarButtons(set))
            if (button.id) Action(button.id)->setIconText(Q(button.text));

    auto* idle = new QTimer(this);
    idle->setInterval(kIdleUpdateMs);
    connect(idle, &QTimer::timeout, this, &CommandActions::UpdateStates);
    idle->start();
}

QAction* CommandActions::Make(int id, std::string_view text, std::string_view accelerator, bool checkable) {
    auto* action = new QAction(Q(MenuTextOf(text)), window_);
    action->setObjectName(QStringLiteral("command%1").arg(id));
    action->setData(id);
    action->setCheckable(checkable);
    if (!accelerator.empty()) {
        action->setShortcut(QKeySequence(Q(accelerator), QKeySequence::PortableText));
        action->setShortcutContext(Qt::WindowShortcut);
    }
    // What a screen reader reads for the menu entry and the toolbar button alike.
    action->setStatusTip(Q(AccessibleText(text)));
    window_->addAction(action);
    connect(action, &QAction::triggered, this, [this, id] { Run(id); });
    actions_[id] = action;
    return action;
}

void CommandActions::BuildMenus(QMenuBar& bar) {
    for (const Menu& menu : MainMenu()) {
        QMenu* qmenu = bar.addMenu(Q(menu.title));
        qmenu->setAccessibleName(Q(AccessibleText(menu.title)));
        for (const MenuEntry& entry : menu.entries) {
            switch (entry.kind) {
                case CommandKind::Separator: qmenu->addSeparator(); break;
                case CommandKind::RecentFiles:
                    recentMenu_ = qmenu;
                    recentSeparator_ = qmenu->addSeparator();
                    break;
                default: qmenu->addAction(Action(entry.id)); break;
            }
        }
        connect(qmenu, &QMenu::aboutToShow, this, &CommandActions::UpdateStates);
    }
}

QAction* CommandActions::Action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void CommandActions::Run(int id) {
    router_.Execute(id);
    // The command may have closed the window; its actions stay until the window goes.
    UpdateStates();
}

void CommandActions::UpdateStates() {
    for (const auto& [id, action] : actions_) {
        const CommandState state = router_.StateOf(id);
        action->setEnabled(state.enabled);
        if (action->isCheckable()) action->setChecked(state.checked);
    }
}

}  // namespace kv::ui
