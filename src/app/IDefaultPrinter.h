#pragma once

#include <optional>

namespace kv {

// Answers what the desktop knows about its default printer.
class IDefaultPrinter {
public:
    // The default printer's horizontal resolution in dots per inch, or nothing when there is no
    // default printer or it cannot be reached.
    virtual std::optional<int> DefaultPrinterDpi() const = 0;

protected:
    ~IDefaultPrinter() = default;
};

}  // namespace kv
