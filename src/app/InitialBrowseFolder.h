#pragma once

#include <string>

#include "platform/SpecialFolders.h"

namespace kv {

// The folder the browse window starts in: the browse default when it names an existing folder;
// else the "SAMPLES" folder beside the program, else the user's pictures folder, else the
// documents folder, whichever exists first, which then becomes the browse default; else none, and
// the browse default is emptied. Returns the new browse default.
std::string ChooseInitialBrowseFolder(std::string& browseDefault, const SpecialFolders& folders);

}  // namespace kv
