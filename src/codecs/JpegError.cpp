#include "codecs/JpegError.h"

namespace SlimJpeg {

void Fail() { throw Error(); }

}  // namespace SlimJpeg
