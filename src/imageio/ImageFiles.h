#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "imageio/ImagingTypes.h"

namespace kv {

// One kind of image file the program knows by its extension. Every place that asks what a file
// name holds (opening, Next and Previous, the browser, the batch list, saving, the file dialogs,
// kvscale) reads the one table of these, so a format is added by adding its rows.
struct ImageFileType {
    std::string_view extension;  // lower case, with its dot
    ImageFormat format;
    std::string_view mimeType;   // of the encoder that writes it; empty when it cannot be written
    bool navigable;              // Next and Previous step onto it
    std::string_view kindName;   // the file dialogs' name of its kind, shared by its spellings
};

// Every known extension, each format's spellings together, the usual spelling first.
std::span<const ImageFileType> ImageFileTypes();

// The row of a path's extension: from the last dot of its file name (so that a file named ".jpg"
// has one), compared without regard to case. Null for any other extension and for none.
const ImageFileType* FindImageFileType(const std::filesystem::path& path);

// Whether a path names an image the program opens, judged by its extension alone (case-insensitive,
// so "PHOTO.JPG" and "scan.Tiff" pass).
bool IsSupportedImage(const std::filesystem::path& path);

// Whether a path's extension is one of a format's spellings (".jpg", ".jpeg" or ".jpe" for JPEG).
bool HasFormatExtension(const std::filesystem::path& path, ImageFormat format);

// The extensions a result can be written under, for messages: ".jpg, .jpeg, ..., .gif or .png".
std::string WritableExtensionsText();

// Why a result cannot be written under a path's extension, naming the extensions that can; empty
// when it can.
std::string UnwritableExtensionText(const std::filesystem::path& path);

}  // namespace kv
