#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

class QSettings;

namespace kv {

// A settings file of named sections holding named values (an INI file kept by QSettings). Values
// are read with a fallback for anything missing or unreadable; writes are collected and reach the
// disk, atomically, on Flush.
class ProfileStore {
public:
    explicit ProfileStore(const std::filesystem::path& file);
    ~ProfileStore();
    ProfileStore(const ProfileStore&) = delete;
    ProfileStore& operator=(const ProfileStore&) = delete;

    // A whole number; text that is not one, or one beyond 32 bits, gives the fallback.
    int32_t ReadInt(std::string_view section, std::string_view name, int32_t fallback) const;
    std::string ReadText(std::string_view section, std::string_view name, std::string_view fallback) const;
    // A number stored as decimal text ("300.000000", "72.5"); text that does not begin with a
    // number gives the fallback.
    double ReadDecimal(std::string_view section, std::string_view name, double fallback) const;
    bool Contains(std::string_view section, std::string_view name) const;

    void WriteInt(std::string_view section, std::string_view name, int32_t value);
    void WriteText(std::string_view section, std::string_view name, std::string_view value);
    // Written as "%f" would write it, whatever the locale: 300.000000.
    void WriteDecimal(std::string_view section, std::string_view name, double value);

    // Writes what changed; false when the file could not be written.
    bool Flush();

private:
    std::filesystem::path file_;
    std::unique_ptr<QSettings> settings_;
};

// "%f" text of a number in the C locale; and the decimal number a text begins with, if any
// (leading blanks and a sign allowed, trailing text ignored).
std::string FormatFixed6(double value);
bool ParseLeadingDecimal(std::string_view text, double& value);

}  // namespace kv
