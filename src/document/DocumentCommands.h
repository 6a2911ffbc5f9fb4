#pragma once

// The menu commands the document handles, numbered as the program's resources number them.
namespace kv::DocumentCommand {
inline constexpr int ID_FILE_SAVE = 57603;       // "Resize and &Save..."
inline constexpr int ID_VIEW_NEXT = 32858;       // "&Next"
inline constexpr int ID_VIEW_PREVIOUS = 32859;   // "&Previous"
}  // namespace kv::DocumentCommand
