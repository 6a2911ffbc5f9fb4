#pragma once

#include <QIcon>

namespace kv::ui {

// The icon of a command: from the desktop's icon theme when it has one, else our own drawing.
QIcon CommandIcon(int commandId);
// The program's own icon.
QIcon ProgramIcon();

}  // namespace kv::ui
