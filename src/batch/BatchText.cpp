#include "batch/BatchText.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace kv {

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        std::vector<char> buffer(static_cast<size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
        text.assign(buffer.data(), static_cast<size_t>(length));
    }
    va_end(again);
    return text;
}

const char* AlgorithmLogName(ResizeAlgorithm algorithm) {
    // The table's names are literals, so their views end in a NUL.
    return kResizeAlgorithms[static_cast<size_t>(ValidResizeAlgorithm(algorithm))].descriptionName.data();
}

SplitPath SplitFolderAndName(const std::filesystem::path& path) {
    const std::string text = path.string();
    const size_t slash = text.rfind('/');
    if (slash == std::string::npos) return {{}, text};
    return {text.substr(0, slash + 1), text.substr(slash + 1)};
}

std::string_view BatchReportMessage(BatchStatus status) {
    return status == BatchStatus::NoOutputFolder ? kCantCreateOutputFolder : std::string_view{};
}

std::string ProcessingText(const BatchReport& report) {
    return Format("Processing %d from %d", report.fileNumber, report.total);
}

std::string BatchLogEntry(const BatchReport& r) {
    const SplitPath in = SplitFolderAndName(r.input);
    const SplitPath out = SplitFolderAndName(r.output);
    switch (r.status) {
        case BatchStatus::Started: {
            // A name this run had written already was avoided: the entry says so before its end.
            const std::string avoided =
                r.writtenEarlier.empty()
                    ? std::string()
                    : Format("Output file %s was written earlier in this run!\r\nSaved with unique name!\r\n",
                             SplitFolderAndName(r.writtenEarlier).name.c_str());
            return Format(
                "File %d from %d\r\nInput file\r\nFolder: %s\r\nName: %s\r\nOutput file\r\nFolder: %s\r\nName:%s\r\n"
                "Size: %dx%d pixels, %g DPI\r\nAlgorithm: %s\r\n%s\r\n",
                r.fileNumber, r.total, in.folder.c_str(), in.name.c_str(), out.folder.c_str(), out.name.c_str(),
                r.values.width, r.values.height, static_cast<double>(r.values.dpi), AlgorithmLogName(r.values.algorithm),
                avoided.c_str());
        }
        case BatchStatus::CantOpen:
            return Format("File %d from %d\r\nInput file\r\nFolder: %s\r\nName: %s\r\nCan't open file\r\n%s!\r\n\r\n",
                          r.fileNumber, r.total, in.folder.c_str(), in.name.c_str(), r.input.c_str());
        case BatchStatus::NoOutputFolder:
            return "Can't open output folder!";
        case BatchStatus::Skipped:
            return Format(
                "File %d from %d\r\nInput file\nFolder: %s\r\nName: %s\r\nOutput file %s already exists!\r\n"
                "Skip resizing!\r\n\r\n",
                r.fileNumber, r.total, in.folder.c_str(), in.name.c_str(), out.name.c_str());
        case BatchStatus::CantCreate:
            return "Can't create output image!\r\nMaybe not enough memory!\r\n\r\n";
        case BatchStatus::Stopped:
            return "Operation canceled by user!\r\n\r\n";
        case BatchStatus::CantWrite:
            return Format("Can't write file\r\n%s!\r\n\r\n", r.output.c_str());
    }
    return {};
}

}  // namespace kv
