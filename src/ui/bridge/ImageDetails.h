#pragma once

#include <filesystem>
#include <string>
#include <vector>

// What the "Image Info" dialog shows of a file, as texts.
namespace kv::ui {

struct ImageDetails {
    struct Row {
        std::string name;
        std::string value;
    };
    std::filesystem::path path;
    std::string dimensions;  // "W X H"
    std::string colors;      // the number of colours the pixel format holds
    std::vector<Row> camera; // the named camera details, in the order the file keeps them
};

// Reads a file's facts header-only; a file that does not open gives 0 X 0, one colour and no rows.
ImageDetails ReadImageDetails(const std::filesystem::path& path);

}  // namespace kv::ui
