#pragma once

#include <string>
#include <string_view>

// Text conversions for the binary files written in UTF-16 (settings files, batch lists, the
// thumbnail cache), without a toolkit.
namespace kv {

// UTF-8 to UTF-16. A Linux file name need not be valid UTF-8; so that such a path survives a round
// trip through a file, every byte that is not part of a valid sequence becomes the lone low
// surrogate U+DC80 + (byte - 0x80), which Utf16ToUtf8 turns back into the byte.
std::u16string Utf8ToUtf16(std::string_view text);

// UTF-16 to UTF-8. A lone surrogate U+DC80..U+DCFF becomes the byte it stands for; any other lone
// surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// An 8-bit text in the Western Windows code page (1252), as older files stored their strings.
std::u16string Windows1252ToUtf16(std::string_view text);

}  // namespace kv
