#include "ui/frame/ToolbarIcons.h"

#include <array>

#include "base/CommandIds.h"

namespace kv::ui {

namespace {

using namespace CommandId;

struct IconName {
    int id;
    const char* theme;     // freedesktop icon naming
    const char* fallback;  // our own drawing in the resources
};

constexpr std::array kIcons{
    IconName{ID_FILE_OPEN, "document-open", "open"},
    IconName{ID_FILE_SAVE, "document-save", "save"},
    IconName{ID_BATCH_MODE, "view-list-icons", "batch"},
    IconName{ID_VIEW_PREVIOUS, "go-previous", "previous"},
    IconName{ID_VIEW_NEXT, "go-next", "next"},
    IconName{ID_BROWSE, "folder-open", "browse"},
    IconName{ID_REMOVE_SELECTED, "list-remove", "remove"},
    IconName{ID_BATCH_RUN, "media-playback-start", "run"},
    IconName{ID_VIEW_ICONS_POPUP, "view-preview", "view"},
    IconName{ID_BROWSE_DONE, "dialog-ok", "done"},
    IconName{ID_IMAGE_INFO, "documentinfo", "info"},
    IconName{ID_APP_EXIT, "application-exit", ""},
    IconName{ID_HELP_TOPICS, "help-contents", ""},
    IconName{ID_APP_ABOUT, "help-about", ""},
};

}  // namespace

QIcon CommandIcon(int commandId) {
    for (const IconName& icon : kIcons) {
        if (icon.id != commandId) continue;
        const QIcon fallback = *icon.fallback ? QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon.fallback)))
                                              : QIcon();
        return QIcon::fromTheme(QLatin1String(icon.theme), fallback);
    }
    return {};
}

QIcon ProgramIcon() { return QIcon(QStringLiteral(":/icons/kvscalecrafter.svg")); }

}  // namespace kv::ui
