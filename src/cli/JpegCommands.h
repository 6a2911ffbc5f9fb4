#pragma once

namespace kv::cli {

// kvscale jpeg decode IN.jpg OUT.ppm | kvscale jpeg encode IN OUT.jpg [--quality Q]
// argv[0] is "jpeg". Returns the exit status: 0 done, 1 failed (the message on stderr), 2 usage.
int RunJpegCommand(int argc, char** argv);

}  // namespace kv::cli
