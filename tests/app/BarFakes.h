#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "app/IBatchStamping.h"
#include "app/IDefaultPrinter.h"
#include "app/IResizeBarListener.h"
#include "app/IResizeDocument.h"
#include "app/OutputSizeRules.h"
#include "app/ResizeBarPresenter.h"

namespace kv::test {

// A document holding an image (or none) that records every settings-changed notice together with
// the state of its adjusting flag at that moment.
class FakeDocument final : public IResizeDocument {
public:
    FakeDocument() = default;
    FakeDocument(int32_t width, int32_t height, float dpi = 300.0f, PixelFormat format = PixelFormat24bppRGB)
        : facts_(ImageFacts{width, height, format, dpi}) {}

    std::optional<ImageFacts> OpenImageFacts() const override { return facts_; }
    void OnSettingsChanged() override { noticesWhileAdjusting.push_back(adjusting_); }
    bool IsAdjusting() const override { return adjusting_; }
    void SetAdjusting(bool adjusting) override { adjusting_ = adjusting; }

    // How many notices arrived; how many would have restarted the preview.
    size_t Notices() const { return noticesWhileAdjusting.size(); }
    size_t Restarts() const {
        size_t n = 0;
        for (bool adjusting : noticesWhileAdjusting) n += adjusting ? 0 : 1;
        return n;
    }

    std::vector<bool> noticesWhileAdjusting;

private:
    std::optional<ImageFacts> facts_;
    bool adjusting_ = false;
};

class FakeStamping final : public IBatchStamping {
public:
    void StampSelected() override { ++selected; }
    void StampAll() override { ++all; }
    int selected = 0;
    int all = 0;
};

class FakePrinter final : public IDefaultPrinter {
public:
    explicit FakePrinter(std::optional<int> dpi) : dpi_(dpi) {}
    std::optional<int> DefaultPrinterDpi() const override { return dpi_; }

private:
    std::optional<int> dpi_;
};

// A window that shows the state by writing it back into its fields, as a careless widget whose
// text-changed signal also fires on programmatic writes would.
class EchoingListener final : public IResizeBarListener {
public:
    explicit EchoingListener(ResizeBarPresenter*& presenter) : presenter_(presenter) {}
    void OnBarStateChanged() override {
        ++changes;
        for (int id : {ResizeBarControl::IDC_OUT_WIDTH, ResizeBarControl::IDC_OUT_HEIGHT, ResizeBarControl::IDC_OUT_RES})
            presenter_->OnTextChanged(id, presenter_->Text(id));
    }
    void RefreshNavigator() override { ++navigatorRefreshes; }
    int changes = 0;
    int navigatorRefreshes = 0;

private:
    ResizeBarPresenter*& presenter_;
};

// A bar over its own record, with a batch list to stamp. Open() does what opening a file does: the
// open rule, then the document handed to the bar.
class BarTest : public ::testing::Test {
protected:
    BarTest() { bar.SetBatchStamping(&stamping); }

    void Open(FakeDocument& document) {
        ApplyOpenRule(settings, *document.OpenImageFacts());
        bar.SetDocument(&document);
    }
    void EnterBatchMode() {
        settings.batchMode = true;
        bar.OnBatchModeChanged();
    }
    std::string Text(int id) const { return bar.Text(id); }

    ResizeSettings settings;
    ResizeBarPresenter bar{settings};
    FakeStamping stamping;
};

}  // namespace kv::test
