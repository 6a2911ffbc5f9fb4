#include "cli/Kvscale.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/MemoryBudget.h"
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/JpegCommands.h"
#include "imageio/Bitmap.h"

namespace kv::cli {

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  kvscale resize IN -o OUT [SIZE] [--settings FILE.qzr] [--algorithm 0-9]\n"
    "                 [--correction keep|crop|none] [--dpi R] [--quality Q] [--max-memory M]\n"
    "  kvscale batch (FILE... | --list LIST.qzb) --out DIR [SIZE] [--settings FILE.qzr]\n"
    "                 [--algorithm 0-9] [--correction keep|crop|none] [--dpi R]\n"
    "                 [--policy skip|overwrite|unique] [--format keep|jpg|tif|bmp|png]\n"
    "                 [--new-name] [--same-folder] [--quality Q] [--jobs N] [--max-memory M]\n"
    "     SIZE: --size WxH | --width W | --height H | --percent P\n"
    "           | --print WxH --unit in|mm|cm|picas|pt\n"
    "     M: the memory a resize may take, such as 512M or 2G (default: what is available)\n"
    "     --  ends the options: every word after it is a file name\n"
    "  kvscale info IMAGE\n"
    "  kvscale thumb IMAGE -o OUT [--box WxH]\n"
    "  kvscale jpeg decode IN.jpg OUT.ppm\n"
    "  kvscale jpeg encode IN OUT.jpg [--quality Q]\n";

}  // namespace

int RunKvscale(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    IgnoreFileSizeSignal();
    SetMemoryBudget(std::nullopt);  // each run starts from the automatic budget
    InitialiseImaging();
    // The codec's commands parse their own words and report their own usage errors.
    if (command == "jpeg") return RunJpegCommand(argc - 1, argv + 1);
    try {
        Arguments args(argc, argv, 2);
        if (command == "resize") return RunResize(args);
        if (command == "batch") return RunBatch(args);
        if (command == "info") return RunInfo(args);
        if (command == "thumb") return RunThumb(args);
        throw UsageError{"unknown command \"" + command + "\""};
    } catch (const UsageError& error) {
        std::fprintf(stderr, "kvscale: %s\n%s", error.message.c_str(), kUsage);
        return kExitUsage;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kvscale: %s\n", error.what());
        return kExitFailed;
    }
}

}  // namespace kv::cli
