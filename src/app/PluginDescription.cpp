#include "app/PluginDescription.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamWriter>
#include <cstdio>
#include <string_view>
#include <system_error>

#include "base/AtomicFile.h"
#include "platform/SpecialFolders.h"

namespace kv {

namespace {

// The program's names in a host's menu: full, short and with its menu accelerator, one per line.
constexpr std::string_view kPluginMenuText = "KARVO Scale Crafter\nScale Crafter\n&Scale Crafter";
constexpr int kProgramIconResource = 128;

QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

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
    for (const char c : quoted) {
        if (c == '\\') escaped += "\\\\";
        else if (c == '%') escaped += "%%";
        else if (c == '\n') escaped += "\\n";
        else escaped += c;
    }
    return escaped;
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
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=KARVO Scale Crafter\n"
           "GenericName=Photo Resizer\n"
           "Comment=Resize photos, one or many at a time\n"
           "Exec=" + DesktopExecArgument(programPath.string()) + " %F\n"
           "Terminal=false\n"
           "Categories=Graphics;Photography;\n"
           "MimeType=image/jpeg;image/png;image/tiff;image/gif;image/bmp;\n";
}

PluginInstallation ThisProgramsInstallation(const SpecialFolders& folders) {
    std::error_code ec;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
    return {folders.PluginsFolder(), folders.ApplicationsFolder(), ec ? std::filesystem::path() : program,
            CurrentProgramVersion()};
}

bool RegisterPlugin(const PluginInstallation& in) {
    if (in.programPath.empty()) return false;
    const bool plugin = WriteTextFile(in.pluginsFolder, PluginFileName(in.version), BuildPluginDescription(in.programPath));
    const bool entry = WriteTextFile(in.applicationsFolder, kDesktopEntryFileName, BuildDesktopEntry(in.programPath));
    return plugin && entry;
}

bool UnregisterPlugin(const PluginInstallation& in) {
    const bool plugin = RemoveIfPresent(in.pluginsFolder / PluginFileName(in.version));
    const bool entry = RemoveIfPresent(in.applicationsFolder / kDesktopEntryFileName);
    return plugin && entry;
}

}  // namespace kv
