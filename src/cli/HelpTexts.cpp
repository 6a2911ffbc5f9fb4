#include "cli/HelpTexts.h"

#include <array>

namespace kv::cli {

namespace {

constexpr std::string_view kOverall =
    "usage: kvscale COMMAND [OPTION...] [FILE...]\n"
    "Resizes photos with the ten algorithms of KARVO Scale Crafter, without a window.\n"
    "\n"
    "  kvscale resize IN -o OUT [SIZE] [--settings FILE.qzr] [--algorithm 0-9]\n"
    "                 [--correction keep|crop|none] [--dpi R] [--quality Q] [--max-memory M]\n"
    "                 [--keep-orientation]\n"
    "  kvscale batch (FILE... | --list LIST.qzb) --out DIR [SIZE] [--settings FILE.qzr]\n"
    "                 [--algorithm 0-9] [--correction keep|crop|none] [--dpi R]\n"
    "                 [--policy skip|overwrite|unique] [--format keep|jpg|tif|bmp|png]\n"
    "                 [--new-name] [--same-folder] [--quality Q] [--jobs N] [--max-memory M]\n"
    "                 [--keep-orientation]\n"
    "     SIZE: --size WxH | --width W | --height H | --percent P\n"
    "           | --print WxH --unit in|mm|cm|picas|pt\n"
    "     M: the memory a resize may take, such as 512M or 2G (default: what is available)\n"
    "     --  ends the options: every word after it is a file name\n"
    "  kvscale info IMAGE [--keep-orientation]\n"
    "  kvscale thumb IMAGE -o OUT [--box WxH] [--keep-orientation]\n"
    "  kvscale jpeg decode IN.jpg OUT.ppm\n"
    "  kvscale jpeg encode IN OUT.jpg [--quality Q]\n"
    "\n"
    "kvscale COMMAND --help tells more of a command; kvscale --version names the version.\n"
    "Exit status: 0 done, 1 failed, 2 usage error, 3 no embedded thumbnail (thumb).\n";

// The size and algorithm options resize and batch share.
#define KV_SIZE_OPTIONS                                                                            \
    "Size (the image's own size when none is given):\n"                                            \
    "  --size WxH          a box; Keep aspect fits the image into it\n"                            \
    "  --width W           the width in pixels; Keep aspect sets the height\n"                     \
    "  --height H          the height in pixels; Keep aspect sets the width\n"                     \
    "  --percent P         both sides in percent of the image\n"                                   \
    "  --print WxH --unit U  a print size in in, mm, cm, picas or pt at the resolution\n"          \
    "  --dpi R             the resolution (1 to 100000); the print size stays, the pixels follow\n" \
    "  --correction C      keep (Keep aspect, the default), crop or none\n"                        \
    "  --algorithm N       0 Nearest Neighbor, 1 Bilinear, 2 High Quality Bilinear, 3 Bicubic,\n" \
    "                      4 High Quality Bicubic (default), 5 Smart for Artificial Scenes,\n"     \
    "                      6 Smart for Natural Scenes, 7 Advanced for Natural Scenes,\n"           \
    "                      8 Advanced for Artificial Scenes, 9 KARVO Super-Resolution\n"           \
    "  --settings FILE.qzr a named settings file of the window, loaded before the options above\n" \
    "  --quality Q         JPEG quality, 1 to 100 (default 75)\n"                                  \
    "  --max-memory M      the memory a resize may take, such as 512M or 2G\n"                   \
    "  --keep-orientation  keeps each image as its file stores it: a photo whose EXIF orientation\n" \
    "                      says it is turned is resized sideways and keeps its tag (by default it\n" \
    "                      is turned upright and written upright)\n"

constexpr std::string_view kResize =
    "usage: kvscale resize IN -o OUT [SIZE] [OPTION...]\n"
    "Resizes IN into OUT; OUT's extension (.jpg, .jpeg, .jpe, .tif, .tiff, .bmp, .gif, .png) gives its\n"
    "format.\n"
    "The result keeps IN's EXIF details with the new resolution, and is put in place only when whole.\n"
    "\n"
    "  -o, --output OUT    the file to write\n" KV_SIZE_OPTIONS
    "  --                  ends the options: every word after it is a file name\n"
    "\n"
    "Exit status: 0 written, 1 failed, 2 usage error.\n";

constexpr std::string_view kBatch =
    "usage: kvscale batch (FILE... | --list LIST.qzb) --out DIR [SIZE] [OPTION...]\n"
    "Resizes every FILE, or every image of a saved batch list, into DIR. The options act on the\n"
    "first image that opens, and every image is then given those settings (\"Apply to All\").\n"
    "\n"
    "  --list LIST.qzb     a batch list saved by the window; its images keep their own sizes\n"
    "                      unless a size, --algorithm, --correction or --dpi is given\n"
    "  --out DIR           the output folder, made with its parents when missing\n"
    "  --policy P          for an existing output: overwrite (default), skip or unique (NAME_1, ...)\n"
    "  --format F          keep (default), jpg, tif, bmp or png\n"
    "  --new-name          adds _RESIZED_TO_WxH to each name\n"
    "  --same-folder       writes each result beside its input, with that suffix\n"
    "  --jobs N            resizes N images at once (default: one per core)\n" KV_SIZE_OPTIONS
    "  --                  ends the options: every word after it is a file name\n"
    "\n"
    "The log of every image goes to stdout, in list order.\n"
    "Exit status: 0 every image written or skipped, 1 any failed or the run stopped, 2 usage error.\n";

#undef KV_SIZE_OPTIONS

constexpr std::string_view kInfo =
    "usage: kvscale info IMAGE [--keep-orientation]\n"
    "Prints the image's dimensions, its colours and the camera details of its EXIF block, one per\n"
    "line, as the window's Image Info dialog lists them. The dimensions are those of the upright\n"
    "picture, or with --keep-orientation those the file stores.\n"
    "\n"
    "Exit status: 0 done, 1 the image cannot be read, 2 usage error.\n";

constexpr std::string_view kThumb =
    "usage: kvscale thumb IMAGE -o OUT [--box WxH] [--keep-orientation]\n"
    "Writes the thumbnail embedded in IMAGE's EXIF block (a JPEG, or a TIFF with an EXIF directory),\n"
    "fitted into the box so that it fills it in one direction, turned upright as its photo is.\n"
    "\n"
    "  -o, --output OUT    the file to write; its extension gives the format\n"
    "  --box WxH           the box (default 220x165)\n"
    "  --keep-orientation  the thumbnail as the file stores it\n"
    "\n"
    "Exit status: 0 written, 1 failed, 2 usage error, 3 no embedded thumbnail.\n";

constexpr std::string_view kJpeg =
    "usage: kvscale jpeg decode IN.jpg OUT.ppm\n"
    "       kvscale jpeg encode IN OUT.jpg [--quality Q]\n"
    "Runs the program's own JPEG codec, the one that keeps the browser's thumbnails: baseline files\n"
    "only. decode writes a PPM (a PGM for a grey image); encode writes colour with 2x2 luminance\n"
    "sampling at quality Q (1 to 100, default 75).\n"
    "\n"
    "Exit status: 0 done, 1 failed, 2 usage error.\n";

struct CommandHelpText {
    std::string_view command;
    std::string_view text;
};

constexpr std::array<CommandHelpText, 5> kCommands{{
    {"resize", kResize}, {"batch", kBatch}, {"info", kInfo}, {"thumb", kThumb}, {"jpeg", kJpeg}}};

}  // namespace

std::string_view OverallUsage() { return kOverall; }

std::string_view CommandHelp(std::string_view command) {
    for (const CommandHelpText& entry : kCommands)
        if (entry.command == command) return entry.text;
    return {};
}

std::string HelpHint(std::string_view command) {
    const std::string topic = CommandHelp(command).empty() ? std::string() : std::string(command) + " ";
    return "Try 'kvscale " + topic + "--help' for more information.\n";
}

std::string VersionLine() { return "kvscale " KV_VERSION_TEXT "\n"; }

bool AsksForHelp(int argc, char** argv, int first) {
    for (int i = first; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--") return false;
        if (word == "--help" || word == "-h") return true;
    }
    return false;
}

}  // namespace kv::cli
