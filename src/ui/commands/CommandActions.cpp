#include "ui/commands/CommandActions.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace kv::ui {

namespace {
constexpr int kIdleUpdateMs = 250;
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
}  // namespace

CommandActions::CommandActions(CommandRouter& router, QWidget* window)
    : QObject(window), router_(router), window_(window) {
    // The commands a user meets: in a menu, or as a toolbar button.
    for (const CommandEntry& entry : CommandTable())
        if (entry.id && entry.kind != CommandKind::RecentFiles &&
            (entry.menu != Menu::None || !ButtonText(entry.id).empty()))
            Make(entry);

    qApp->installEventFilter(this);

    auto* idle = new QTimer(this);
    idle->setInterval(kIdleUpdateMs);
    connect(idle, &QTimer::timeout, this, &CommandActions::UpdateStates);
    idle->start();
}

bool CommandActions::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (enter && plain && (qobject_cast<QLineEdit*>(watched) || qobject_cast<QAbstractSpinBox*>(watched))) {
            event->accept();
            return true;
        }
        // An open list or menu takes Return for its highlighted entry (a selector's list does so on
        // this very event): it is passed on to the list, and runs nothing behind it.
        if (enter && plain && QApplication::activePopupWidget()) {
            event->accept();
            return false;
        }
    }
    return QObject::eventFilter(watched, event);
}

QAction* CommandActions::Make(const CommandEntry& entry) {
    const int id = entry.id;
    // A command no menu lists is known by its button's text.
    const std::string_view button = ButtonText(id);
    const std::string_view text = entry.menu == Menu::None ? button : entry.text;
    auto* action = new QAction(Q(text), window_);
    action->setObjectName(QStringLiteral("command%1").arg(id));
    action->setData(id);
    action->setCheckable(entry.kind == CommandKind::Checkable);
    if (!button.empty()) action->setIconText(Q(button));
    if (!entry.accelerator.empty()) {
        const QKeySequence key(Q(entry.accelerator), QKeySequence::PortableText);
        // "Enter" is the main keyboard's Return key as well as the keypad's Enter.
        if (key == QKeySequence(Qt::Key_Enter)) action->setShortcuts({QKeySequence(Qt::Key_Return), key});
        else action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    // What the status bar says while the entry is highlighted or the button is pointed at.
    action->setStatusTip(Q(entry.prompt.empty() ? AccessibleText(text) : std::string(entry.prompt)));
    window_->addAction(action);
    connect(action, &QAction::triggered, this, [this, id] { Run(id); });
    actions_[id] = action;
    return action;
}

void CommandActions::Fill(QMenu& menu, Menu which) {
    for (const CommandEntry& entry : MenuEntries(which)) {
        if (entry.id == 0) {
            menu.addSeparator();
        } else if (entry.kind == CommandKind::RecentFiles) {
            recentMenu_ = &menu;
            recentSeparator_ = menu.addSeparator();
        } else {
            menu.addAction(Action(entry.id));
        }
    }
    connect(&menu, &QMenu::aboutToShow, this, &CommandActions::UpdateStates);
}

void CommandActions::BuildMenus(QMenuBar& bar) {
    for (const Menu which : MenuBar()) {
        QMenu* menu = bar.addMenu(Q(MenuTitle(which)));
        menu->setAccessibleName(Q(AccessibleText(MenuTitle(which))));
        Fill(*menu, which);
    }
    iconsPopup_ = new QMenu(window_);
    iconsPopup_->setAccessibleName(Q(AccessibleText(MenuTitle(Menu::IconsPopup))));
    Fill(*iconsPopup_, Menu::IconsPopup);
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
