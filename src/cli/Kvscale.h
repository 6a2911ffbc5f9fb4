#pragma once

namespace kv::cli {

// Runs the kvscale command line; returns the process exit status.
int RunKvscale(int argc, char** argv);

}  // namespace kv::cli
