#include "cli/Kvscale.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/MemoryBudget.h"
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/HelpTexts.h"
#include "cli/JpegCommands.h"
#include "imageio/Bitmap.h"

namespace kv::cli {

namespace {

// A usage error: the message and a pointer to the help, on stderr.
int UsageFailure(std::string_view command, const std::string& message) {
    std::fprintf(stderr, "kvscale: %s\n%s", message.c_str(), HelpHint(command).c_str());
    return kExitUsage;
}

void Print(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

}  // namespace

int RunKvscale(int argc, char** argv) {
    if (argc < 2) return UsageFailure({}, "no command given");
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        // "kvscale help resize" is "kvscale resize --help".
        const std::string_view topic = argc > 2 && command == "help" ? CommandHelp(argv[2]) : std::string_view();
        Print(topic.empty() ? OverallUsage() : topic);
        return kExitOk;
    }
    if (command == "--version") {
        Print(VersionLine());
        return kExitOk;
    }
    if (!CommandHelp(command).empty() && AsksForHelp(argc, argv, 2)) {
        Print(CommandHelp(command));
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
        return UsageFailure(command, error.message);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kvscale: %s\n", error.what());
        return kExitFailed;
    }
}

}  // namespace kv::cli
