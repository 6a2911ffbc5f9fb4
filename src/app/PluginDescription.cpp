#include "app/PluginDescription.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <cstdio>
#include <string_view>
#include <system_error>

#include "app/DesktopEntryText.h"
#include "base/AtomicFile.h"
#include "platform/SpecialFolders.h"

namespace kv {

namespace {

// The program's names in a host's menu: full, short and with its menu accelerator, one per line.
constexpr std::string_view kPluginMenuText = "KARVO Scale Crafter\nScale Crafter\n&Scale Crafter";
constexpr int kProgramIconResource = 128;

QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A menu entry's string value: a backslash and a line break escaped.
std::string DesktopStringValue(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\') escaped += "\\\\";
        else if (c == '\n') escaped += "\\n";
        else escaped += c;
    }
    return escaped;
}

// One argument of a menu entry's command line: quoted, with the characters the quoting reserves
// escaped, and then escaped again as the entry's string values are ("\\" for a backslash).
std::string DesktopExecArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string escaped;
    for (const char c : quoted) escaped += c == '%' ? std::string("%%") : std::string(1, c);
    return DesktopStringValue(escaped);
}

bool WriteTextFile(const std::filesystem::path& folder, const std::string& name, const std::string& text) {
    return EnsureFolder(folder) &&
           WriteFileAtomically(folder / name, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}).ok();
}

bool RemoveIfPresent(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return !ec;
}

// The menu entry that builds before this one wrote under the program's old name.
constexpr const char* kOldDesktopEntryFileName = "KVScaleCrafter.desktop";

// The program a plugin description names in its "general" element's path.
QString DescribedProgram(const std::filesystem::path& description) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(description, bytes).ok()) return {};
    QXmlStreamReader xml(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("general")) return xml.attributes().value(QLatin1String("path")).toString();
        if (xml.name() != QLatin1String("kvplugin")) xml.skipCurrentElement();
    }
    return {};
}

// Removes the descriptions that other versions of this program file wrote: they name the same file,
// which is now this version, so a host would list it twice.
bool RemoveOtherVersions(const PluginInstallation& in) {
    const QString program = ToQString(in.programPath.string());
    const std::string current = PluginFileName(in.version);
    std::error_code ec;
    bool removed = true;
    for (const auto& entry : std::filesystem::directory_iterator(in.pluginsFolder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name == current || !name.starts_with("KVScaleCrafter.") || !name.ends_with(".kvplugin")) continue;
        if (DescribedProgram(entry.path()) == program) removed = RemoveIfPresent(entry.path()) && removed;
    }
    return removed;
}

// Removes a folder that holds nothing.
void RemoveIfEmpty(const std::filesystem::path& folder) {
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec) && std::filesystem::is_empty(folder, ec)) std::filesystem::remove(folder, ec);
}

}  // namespace

std::string PluginFileName(const ProgramVersion& version) {
    char name[64];
    std::snprintf(name, sizeof name, "KVScaleCrafter.%02hx.%02hx.kvplugin", version.major, version.minor);
    return name;
}

std::string BuildPluginDescription(const std::filesystem::path& programPath) {
    const QString path = ToQString(programPath.string());
    const QString icon = path + u',' + QString::number(kProgramIconResource);
    QString menuText = ToQString(kPluginMenuText);
    menuText.replace(u'\n', u'|');

    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("kvplugin"));
    xml.writeStartElement(QStringLiteral("general"));
    xml.writeAttribute(QStringLiteral("path"), path);
    xml.writeAttribute(QStringLiteral("icon"), icon);
    xml.writeAttribute(QStringLiteral("type"), QStringLiteral("exe"));
    xml.writeAttribute(QStringLiteral("call"), QStringLiteral("cmdline"));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("plugins"));
    xml.writeStartElement(QStringLiteral("plugin"));
    xml.writeStartElement(QStringLiteral("interface"));
    xml.writeAttribute(QStringLiteral("icon"), icon);
    xml.writeAttribute(QStringLiteral("text"), menuText);
    xml.writeAttribute(QStringLiteral("group"), QStringLiteral("3"));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("special"));
    xml.writeAttribute(QStringLiteral("mode"), QStringLiteral("browse"));
    xml.writeAttribute(QStringLiteral("files-type"), QStringLiteral("image"));
    xml.writeAttribute(QStringLiteral("files-count-min"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("files-count-max"), QStringLiteral("-1"));
    xml.writeEndDocument();  // closes every open element
    return bytes.toStdString();
}

std::string BuildDesktopEntry(const std::filesystem::path& programPath) {
    // The installed entry starts "kvscalecrafter" from the search path; this one names the file.
    std::string entry;
    std::string_view text = kInstalledDesktopEntry;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.starts_with("Exec=")) {
            // The field codes after the program's name (" %F") stay.
            const size_t codes = std::min(line.find(' '), line.size());
            entry += "Exec=" + DesktopExecArgument(programPath.string()) + std::string(line.substr(codes)) + "\n";
        } else if (line.starts_with("TryExec=")) {
            entry += "TryExec=" + DesktopStringValue(programPath.string()) + "\n";
        } else {
            entry += std::string(line) + "\n";
        }
    }
    return entry;
}

PluginInstallation ThisProgramsInstallation(const SpecialFolders& folders) {
    std::error_code ec;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
    return {folders.PluginsFolder(), folders.ApplicationsFolder(), ec ? std::filesystem::path() : program,
            CurrentProgramVersion()};
}

bool RegisterPlugin(const PluginInstallation& in) {
    if (in.programPath.empty()) return false;
    const bool plugin = WriteTextFile(in.pluginsFolder, PluginFileName(in.version), BuildPluginDescription(in.programPath)) &&
                        RemoveOtherVersions(in);
    const bool entry = WriteTextFile(in.applicationsFolder, kDesktopEntryFileName, BuildDesktopEntry(in.programPath)) &&
                       RemoveIfPresent(in.applicationsFolder / kOldDesktopEntryFileName);
    return plugin && entry;
}

bool UnregisterPlugin(const PluginInstallation& in) {
    const bool plugin = RemoveIfPresent(in.pluginsFolder / PluginFileName(in.version)) && RemoveOtherVersions(in);
    const bool entry = RemoveIfPresent(in.applicationsFolder / kDesktopEntryFileName) &&
                       RemoveIfPresent(in.applicationsFolder / kOldDesktopEntryFileName);
    // The plugins folder and its "KARVO" parent were made by registering; hosts may keep theirs there.
    RemoveIfEmpty(in.pluginsFolder);
    RemoveIfEmpty(in.pluginsFolder.parent_path());
    return plugin && entry;
}

}  // namespace kv
