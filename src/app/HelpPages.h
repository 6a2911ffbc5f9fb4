#pragma once

// The pages of the manual in help/. A part of the window names the page that explains it (with an
// anchor where one part of a page does), and F1 opens the page of the part that has the focus.
namespace kv::help {

inline constexpr const char* kWindow = "index.html";
inline constexpr const char* kView = "index.html#view";
inline constexpr const char* kSizes = "size.html";
inline constexpr const char* kCorrection = "size.html#correction";
inline constexpr const char* kAlgorithms = "algorithms.html";
inline constexpr const char* kBatch = "batch.html";
inline constexpr const char* kBrowse = "browse.html";
inline constexpr const char* kKvscale = "kvscale.html";
inline constexpr const char* kFiles = "files.html";

}  // namespace kv::help
