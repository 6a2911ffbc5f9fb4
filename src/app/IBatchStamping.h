#pragma once

namespace kv {

// The batch list as the settings bar sees it: both calls stamp the current settings onto items
// with the rule for a given image (OutputSizeRules.h).
class IBatchStamping {
public:
    // After every completed change of the settings in batch mode.
    virtual void StampSelected() = 0;
    // "Apply to All".
    virtual void StampAll() = 0;

protected:
    ~IBatchStamping() = default;
};

}  // namespace kv
