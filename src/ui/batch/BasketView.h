#pragma once

#include "browser/BasketBrowser.h"
#include "ui/browser/ThumbsView.h"

namespace kv::ui {

// The batch list's view in batch mode's lower row: the thumbnail view over the batch list's
// browser, which says "Drag'n'drop images into this area" while it is empty and takes Delete for
// "Re&move Selected".
class CBasketView final : public CThumbsView {
    Q_OBJECT
public:
    CBasketView(CBasketBrowser& browser, const BrowserColors& colors, QWidget* parent = nullptr);

    CBasketBrowser& basket() { return basket_; }
    // The font the empty list's text is drawn in at the present width.
    QFont EmptyTextFont() const;

protected:
    void PaintExtras(QPainter& painter) override;
    bool ViewKey(QKeyEvent* event) override;
    // A screen reader hears the status: what the list holds, or the chosen photo.
    QString AccessibleText() const override { return StatusFiles(); }

private:
    CBasketBrowser& basket_;
};

}  // namespace kv::ui
