#include "platform/ProfileStore.h"

#include <QFile>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <charconv>
#include <cmath>

#include "platform/SpecialFolders.h"

namespace kv {

namespace {

QString Key(std::string_view section, std::string_view name) {
    return QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size())) + u'/' +
           QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// QSettings reads an unquoted value with commas as a list; as text it is the items joined again.
QString AsText(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

}  // namespace

ProfileStore::ProfileStore(const std::filesystem::path& file)
    : file_(file),
      settings_(std::make_unique<QSettings>(QFile::decodeName(file.c_str()), QSettings::IniFormat)) {}

ProfileStore::~ProfileStore() = default;

bool ProfileStore::Contains(std::string_view section, std::string_view name) const {
    return settings_->contains(Key(section, name));
}

int32_t ProfileStore::ReadInt(std::string_view section, std::string_view name, int32_t fallback) const {
    const QVariant value = settings_->value(Key(section, name));
    if (!value.isValid()) return fallback;
    bool ok = false;
    const qlonglong number = AsText(value).trimmed().toLongLong(&ok);
    if (!ok || number < INT32_MIN || number > INT32_MAX) return fallback;
    return static_cast<int32_t>(number);
}

std::string ProfileStore::ReadText(std::string_view section, std::string_view name, std::string_view fallback) const {
    const QVariant value = settings_->value(Key(section, name));
    if (!value.isValid()) return std::string(fallback);
    return AsText(value).toStdString();
}

double ProfileStore::ReadDecimal(std::string_view section, std::string_view name, double fallback) const {
    const QVariant value = settings_->value(Key(section, name));
    if (!value.isValid()) return fallback;
    double number;
    return ParseLeadingDecimal(AsText(value).toStdString(), number) ? number : fallback;
}

void ProfileStore::WriteInt(std::string_view section, std::string_view name, int32_t value) {
    settings_->setValue(Key(section, name), QString::number(value));
}

void ProfileStore::WriteText(std::string_view section, std::string_view name, std::string_view value) {
    settings_->setValue(Key(section, name), ToQString(value));
}

void ProfileStore::WriteDecimal(std::string_view section, std::string_view name, double value) {
    settings_->setValue(Key(section, name), QString::fromStdString(FormatFixed6(value)));
}

bool ProfileStore::Flush() {
    if (file_.has_parent_path() && !EnsureFolder(file_.parent_path())) return false;
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

std::string FormatFixed6(double value) {
    char buffer[400];  // the widest double in fixed notation has 309 digits before the point
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("0.000000");
}

bool ParseLeadingDecimal(std::string_view text, double& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Only decimal text: no "inf", "nan" or hexadecimal forms.
    if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '.')) return false;
    double number;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), number, std::chars_format::general);
    if (result.ec != std::errc()) return false;
    value = negative ? -number : number;
    return true;
}

}  // namespace kv
