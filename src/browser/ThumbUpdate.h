#pragma once

#include <string>

namespace kv {

// Told when the builder threads have finished a thumbnail. Called on a builder thread: an
// implementation hands the news to its own thread (a browser posts itself a repaint) and returns.
class IThumbUpdate {
public:
    // path: the image whose cell in the thumbnail cache is new or changed. flag: always 0 from the
    // builder threads.
    virtual void OnThumbReady(std::string path, int flag) = 0;

protected:
    ~IThumbUpdate() = default;
};

}  // namespace kv
