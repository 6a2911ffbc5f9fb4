#include "platform/FileListFormats.h"

#include <QByteArray>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace kv {

namespace {

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

std::string_view TrimLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    return line;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        lines.push_back(TrimLine(text.substr(0, end)));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

bool IsThisHost(std::string_view host) {
    if (host.empty() || host == "localhost") return true;
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 && host == name;
}

// The local files of URI lines; comments, blanks and other lines are left out.
std::vector<std::filesystem::path> PathsOfLines(const std::vector<std::string_view>& lines) {
    std::vector<std::filesystem::path> paths;
    for (const std::string_view line : lines) {
        if (line.empty() || line.front() == '#') continue;
        if (auto path = PathOfUri(line)) paths.push_back(std::move(*path));
    }
    return paths;
}

}  // namespace

std::string FileUri(const std::filesystem::path& path) {
    const std::string& bytes = path.native();
    const QByteArray escaped = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toPercentEncoding("/");
    return "file://" + escaped.toStdString();
}

std::optional<std::filesystem::path> PathOfUri(std::string_view uri) {
    if (!StartsWithIgnoringCase(uri, "file:")) return std::nullopt;
    uri.remove_prefix(5);
    if (uri.starts_with("//")) {
        uri.remove_prefix(2);
        const size_t slash = uri.find('/');
        if (slash == std::string_view::npos || !IsThisHost(uri.substr(0, slash))) return std::nullopt;
        uri.remove_prefix(slash);
    }
    if (!uri.starts_with('/')) return std::nullopt;
    // A query or fragment has no place in a file URI; what follows '#' or '?' is not part of the path.
    uri = uri.substr(0, uri.find_first_of("?#"));
    const QByteArray bytes =
        QByteArray::fromPercentEncoding(QByteArray(uri.data(), static_cast<qsizetype>(uri.size())));
    if (bytes.contains('\0')) return std::nullopt;
    return std::filesystem::path(bytes.toStdString());
}

std::vector<MimePart> EncodeFileList(const std::vector<std::filesystem::path>& paths, bool cut) {
    std::string uriList;
    std::string gnome = cut ? "cut" : "copy";
    std::string text;
    for (const auto& path : paths) {
        const std::string uri = FileUri(path);
        uriList += uri + "\r\n";
        gnome += "\n" + uri;
        if (!text.empty()) text += '\n';
        text += path.native();
    }
    std::vector<MimePart> parts{{std::string(FileListMime::kUriList), uriList},
                                {std::string(FileListMime::kGnomeCopiedFiles), gnome}};
    if (cut) parts.push_back({std::string(FileListMime::kKdeCutSelection), "1"});
    parts.push_back({std::string(FileListMime::kPlainText), text});
    return parts;
}

std::optional<FileList> DecodeFileList(const MimeLookup& lookup) {
    FileList list;
    const std::optional<std::string> gnome = lookup(FileListMime::kGnomeCopiedFiles);
    std::vector<std::string_view> gnomeLines;
    if (gnome) {
        gnomeLines = Lines(*gnome);
        if (!gnomeLines.empty()) {
            list.cut = gnomeLines.front() == "cut";
            gnomeLines.erase(gnomeLines.begin());
        }
    }
    if (const std::optional<std::string> kde = lookup(FileListMime::kKdeCutSelection))
        list.cut = list.cut || (!kde->empty() && kde->front() == '1');

    if (const std::optional<std::string> uris = lookup(FileListMime::kUriList)) list.paths = PathsOfLines(Lines(*uris));
    if (list.paths.empty()) list.paths = PathsOfLines(gnomeLines);
    if (list.paths.empty()) return std::nullopt;
    return list;
}

bool OffersFileList(const std::vector<std::string>& types) {
    return std::any_of(types.begin(), types.end(), [](const std::string& type) {
        return type == FileListMime::kUriList || type == FileListMime::kGnomeCopiedFiles;
    });
}

}  // namespace kv
