#include "browser/InPlaceRename.h"

#include <linux/limits.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "base/FileStatus.h"
#include "batch/BatchText.h"
#include "browser/ThumbnailBuild.h"
#include "browser/ThumbnailCache.h"
#include "imageio/ImageFiles.h"
#include "platform/FileRename.h"

namespace kv {

namespace {

bool IsUsableName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

bool SameStemBeside(const std::filesystem::path& file, std::initializer_list<const char*> extensions) {
    for (const char* extension : extensions) {
        std::filesystem::path other = file;
        if (FileExists(other.replace_extension(extension))) return true;
    }
    return false;
}

// Whether a JPEG or TIFF of the same name lies beside a file, its extension in lower or upper case.
bool PhotoBeside(const std::filesystem::path& file) {
    for (const ImageFileType& type : ImageFileTypes()) {
        if (type.format != ImageFormat::Jpeg && type.format != ImageFormat::Tiff) continue;
        std::string upper(type.extension);
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        std::filesystem::path other = file;
        if (FileExists(other.replace_extension(type.extension)) || FileExists(other.replace_extension(upper))) return true;
    }
    return false;
}

bool IsWav(const std::filesystem::path& file) {
    const std::string extension = file.extension().string();
    return extension == ".wav" || extension == ".WAV";
}

// Whether the renamed file now pairs with a note or an image of its new name.
bool MeetsItsPair(const std::filesystem::path& file) {
    if (IsWav(file)) return PhotoBeside(file);
    return IsSupportedImage(file) && SameStemBeside(file, {".wav", ".WAV"});
}

std::string Refusal(int error, const std::filesystem::path& from, const std::filesystem::path& to) {
    if (error == EEXIST || error == ENOTEMPTY) return Format(RenameText::kNameTaken, to.filename().c_str());
    return Format(RenameText::kCantRename, from.c_str(), std::strerror(error));
}

}  // namespace

std::string EditableName(const std::filesystem::path& file) { return file.stem().string(); }

RenameResult RenameFileInPlace(const std::filesystem::path& file, std::string_view typedName) {
    RenameResult result;
    if (typedName == EditableName(file)) return result;
    result.outcome = RenameResult::Outcome::Refused;
    if (!IsUsableName(typedName)) {
        result.message = Format(RenameText::kInvalidName, std::string(typedName).c_str());
        return result;
    }
    const std::filesystem::path target = file.parent_path() / (std::string(typedName) + file.extension().string());
    if (target.filename().native().size() > NAME_MAX) {
        result.message = Refusal(ENAMETOOLONG, file, target);
        return result;
    }
    const std::optional<std::filesystem::path> note = SoundNoteOf(file);
    const bool wasPaired = MeetsItsPair(file);
    if (const IoResult renamed = RenameWithoutReplacing(file, target); !renamed.ok()) {
        result.message = Refusal(renamed.error, file, target);
        return result;
    }
    result.outcome = RenameResult::Outcome::Renamed;
    result.renamed.emplace_back(file, target);
    if (note) {
        std::filesystem::path noteTarget = target;
        noteTarget.replace_extension(note->extension());
        if (const IoResult renamed = RenameWithoutReplacing(*note, noteTarget); renamed.ok())
            result.renamed.emplace_back(*note, noteTarget);
        else
            result.message = Refusal(renamed.error, *note, noteTarget);
    }
    result.pairingChanged = MeetsItsPair(target) || (wasPaired && !note);
    return result;
}

void MoveCachedCell(CMapStringToObPlus& cache, const std::filesystem::path& oldPath,
                    const std::filesystem::path& newPath) {
    const auto lock = cache.Lock();
    CMapStringToObPlus::Cell old;
    if (!cache.Lookup(oldPath.string(), old) || !old) return;
    if (const std::optional<FileStatus> status = GetFileStatus(newPath)) {
        auto moved = std::make_shared<CPaletteItemImg>();
        moved->CopyFrom(*old);
        moved->CopyCompressed(*old);
        if (DibImagePtr picture = old->Thumbnail()) moved->SetThumbnail(std::move(picture));
        moved->fileTime = status->modified.tv_sec;
        moved->lastSeenTime = old->lastSeenTime;
        moved->fullQuality = old->fullQuality;
        moved->bitsPerPixel = old->bitsPerPixel;
        moved->hasSoundNote = HasSoundNote(newPath) ? 1 : 0;
        cache.Store(newPath.string(), std::move(moved));
    }
    if (!FileExists(oldPath)) cache.RemoveKey(oldPath.string());
}

}  // namespace kv
