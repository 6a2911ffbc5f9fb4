#include "cli/Kvscale.h"

int main(int argc, char** argv) { return kv::cli::RunKvscale(argc, argv); }
