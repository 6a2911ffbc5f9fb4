#pragma once

// Commands that worker threads post to the main window. The numbers are the program's resource
// identifiers; a window that receives one queues it onto its own thread before acting on it.
namespace kv {

namespace CommandId {
inline constexpr int ID_RESIZE_PROGRESS = 32838;  // read OverallPercent and move the progress bar
inline constexpr int ID_PREVIEW_READY = 32839;    // a new preview exists: update the views
inline constexpr int ID_RESIZE_STARTED = 32840;   // show the progress bar
inline constexpr int ID_RESIZE_DONE = 32841;      // hide the progress bar
inline constexpr int ID_BEGINREADFOLDER = 32860;  // the browser reads its folder
inline constexpr int ID_VIEW_REFRESH = 33114;     // Refresh after a burst of folder changes
}  // namespace CommandId

// Receives posted command identifiers. Posting never blocks and never runs the command on the
// poster's thread.
class ICommandTarget {
public:
    virtual void PostCommand(int id) = 0;

protected:
    ~ICommandTarget() = default;
};

// Posts to a target that may be absent.
inline void PostCommandTo(ICommandTarget* target, int id) {
    if (target) target->PostCommand(id);
}

}  // namespace kv
