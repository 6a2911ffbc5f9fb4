// Arbitrary bytes through the archive reader: the first byte of each step chooses the next read,
// so every primitive meets every kind of damaged input. A read may only ever end with ArchiveError.
// The same bytes are also read as a named settings file, which must leave valid settings behind.
#include <cstddef>
#include <cstdint>
#include <span>

#include "app/SettingsFile.h"
#include "imageio/Archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kv::ResizeSettings settings;
    if (kv::DecodeSettingsFile(std::span<const uint8_t>(data, size), settings)) {
        kv::ResizeSettings valid = settings;
        valid.Validate();
        if (!(valid == settings)) __builtin_trap();
    }

    kv::ArchiveReader reader(std::span<const uint8_t>(data, size));
    try {
        while (!reader.AtEnd()) {
            switch (reader.ReadU8() % 12) {
                case 0: (void)reader.ReadU16(); break;
                case 1: (void)reader.ReadI32(); break;
                case 2: (void)reader.ReadU64(); break;
                case 3: (void)reader.ReadFloat(); (void)reader.ReadDouble(); break;
                case 4: (void)reader.ReadCount(reader.ReadU8()); break;
                case 5: (void)reader.ReadString(); break;
                case 6: (void)reader.ReadStringUtf8(); break;
                case 7: (void)reader.ReadTime(); break;
                case 8: (void)reader.ReadObjectTag(); break;
                case 9: (void)reader.ReadObjectTag("CPaletteItemImg", 1); break;
                case 10: (void)reader.ReadStringMap(); break;
                case 11: (void)reader.ReadUtf16Text(reader.ReadU8()); (void)reader.ReadBytes(reader.ReadU8()); break;
            }
        }
    } catch (const kv::ArchiveError&) {
    }
    return 0;
}
