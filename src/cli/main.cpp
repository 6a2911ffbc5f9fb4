#include "cli/Kvscale.h"
#include "engine/SanitizerThreadLimit.h"

int main(int argc, char** argv) {
    [[maybe_unused]] const kv::SanitizerThreadLimit threadLimit;
    return kv::cli::RunKvscale(argc, argv);
}
