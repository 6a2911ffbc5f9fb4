#include "ui/bridge/DefaultPrinter.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace kv::ui {

namespace {
std::optional<int> DefaultPrinterDpi_(const QPrinterInfo& info) {
    if (info.isNull()) return std::nullopt;
    QPrinter printer(info, QPrinter::HighResolution);
    if (!printer.isValid()) return std::nullopt;
    const int dpi = printer.resolution();
    return dpi > 0 ? std::optional<int>(dpi) : std::nullopt;
}

}  // namespace

std::optional<int> DefaultPrinter::DefaultPrinterDpi() const { return DefaultPrinterDpi_(QPrinterInfo::defaultPrinter()); }

}  // namespace kv::ui
