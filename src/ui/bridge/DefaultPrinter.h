#pragma once

#include "app/IDefaultPrinter.h"

namespace kv::ui {

// The desktop's default printer, asked through the print system each time the menu opens.
class DefaultPrinter final : public IDefaultPrinter {
public:
    std::optional<int> DefaultPrinterDpi() const override;
};

}  // namespace kv::ui
