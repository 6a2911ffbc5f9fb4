#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kv {

// How a start ends: the normal window, or one of the runs that end at once without a window and
// without writing settings.
enum class StartAction {
    Window,
    Register,    // install the plugin description and the menu entry
    Unregister,  // remove them
    Automation,  // started as an automation server, which this platform has no transport for
    Help,        // print the usage (-h, --help)
    Version,     // print the version (--version)
};

// What the window opens after start-up.
enum class StartOpen { Nothing, Document, BatchList };

struct StartupRequest {
    StartAction action = StartAction::Window;
    // The arguments that name supported images, in order, made absolute. Whether they exist is
    // checked where they are opened.
    std::vector<std::filesystem::path> files;

    // One image is opened as the document; two or more replace the batch list.
    StartOpen open() const;
    bool endsEarly() const { return action != StartAction::Window; }
};

// Reads the arguments after the program's name. "-" or "--" begins a switch; an argument
// beginning with "/" is a switch only when it names a known switch and no file of that name
// exists, so absolute paths stay file names; after a lone "--" every argument is a file name.
// Switches match without regard to case: "Register", "Regserver", "RegisterPerUser",
// "RegserverPerUser"; "Unregister", "Unregserver", "UnregisterPerUser", "UnregserverPerUser";
// "Embedding", "Automation"; "-h", "--help" and "--version" (which win over all others, and only
// with a dash, as on other Linux programs); the print and DDE switches "p", "pt" and "dde" and unknown switches
// are ignored. The last register or unregister switch wins. Other arguments are file names, kept
// when IsSupportedImage accepts them.
// pathExists answers whether a file of that name exists (the file system when not given).
StartupRequest ParseCommandLine(const std::vector<std::string>& arguments,
                                const std::function<bool(const std::string&)>& pathExists = {});

}  // namespace kv
