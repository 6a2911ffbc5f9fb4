#pragma once

#include "base/CommandIds.h"

namespace kv {

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
