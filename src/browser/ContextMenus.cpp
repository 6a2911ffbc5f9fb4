#include "browser/ContextMenus.h"

#include "app/CommandTable.h"

namespace kv {

ContextMenuEntry CommandEntryOf(int id, const char* text) {
    ContextMenuEntry entry;
    entry.id = id;
    if (text) entry.text = text;
    else if (const CommandEntry* row = FindCommand(id)) entry.text = std::string(row->text);
    return entry;
}

ContextMenuEntry Separator() { return {}; }

}  // namespace kv
