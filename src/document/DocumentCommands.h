#pragma once

#include "app/CommandIds.h"

// The menu commands the document handles.
namespace kv::DocumentCommand {
inline constexpr int ID_FILE_SAVE = CommandIds::ID_FILE_SAVE;          // "Resize and &Save..."
inline constexpr int ID_VIEW_NEXT = CommandIds::ID_VIEW_NEXT;          // "&Next"
inline constexpr int ID_VIEW_PREVIOUS = CommandIds::ID_VIEW_PREVIOUS;  // "&Previous"
}  // namespace kv::DocumentCommand
