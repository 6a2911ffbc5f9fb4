#include "cli/Kvscale.h"

#include <cstdio>

namespace kv::cli {

int RunKvscale(int, char**) {
    std::fputs("kvscale: not built yet\n", stderr);
    return 2;
}

}  // namespace kv::cli
