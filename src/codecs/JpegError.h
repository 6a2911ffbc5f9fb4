#pragma once

#include <exception>

namespace SlimJpeg {

// The codec's only failure. A stream it cannot read or a call it cannot honour ends here, and callers
// treat it as "no image"; no further detail is kept on purpose.
class Error : public std::exception {
public:
    const char* what() const noexcept override { return "Jpeg error"; }
};

// Throws Error. Kept out of line so that the checks in the hot loops stay small.
[[noreturn, gnu::cold]] void Fail();

}  // namespace SlimJpeg
