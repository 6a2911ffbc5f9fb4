#pragma once

#include <filesystem>
#include <vector>

namespace kv {

// What the batch list tells the view that shows it and the frame around it. Everything is called
// on the user-interface thread.
class IBatchListListener {
public:
    // The list changed as a whole: its paths in list order, so that the thumbnails are made in
    // that order, then the view repaints.
    virtual void OnRebuild(const std::vector<std::filesystem::path>& paths) = 0;
    // Items were added or removed one by one: the view sizes its cells to the count and repaints.
    virtual void OnItemsChanged() = 0;
    // The list was filled from the command line or a batch file and holds items: the frame
    // switches batch mode on if it is off.
    virtual void OnBatchModeWanted() = 0;

protected:
    ~IBatchListListener() = default;
};

// What choosing an item of the list asks of the frame.
class IBatchItemHost {
public:
    // Whether the image browsing window is showing over the main view.
    virtual bool BrowseWindowShowing() const = 0;
    // Shows the current document again in place of the browsing window.
    virtual void ShowCurrentDocument() = 0;
    // Opens an image as the document.
    virtual void OpenDocument(const std::filesystem::path& path) = 0;

protected:
    ~IBatchItemHost() = default;
};

}  // namespace kv
