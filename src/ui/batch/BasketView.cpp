#include "ui/batch/BasketView.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>

#include "base/CommandIds.h"

namespace kv::ui {

namespace {

QFont Arial(int pixelHeight) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelHeight);
    return font;
}

}  // namespace

CBasketView::CBasketView(CBasketBrowser& browser, const BrowserColors& colors, QWidget* parent)
    : CThumbsView(browser, colors, parent), basket_(browser) {
    setAccessibleName(QStringLiteral("Batch list"));
}

QFont CBasketView::EmptyTextFont() const {
    const QString text = QString::fromLatin1(kEmptyBasketText);
    const int measured = QFontMetrics(Arial(100)).horizontalAdvance(text);
    return Arial(EmptyBasketFontHeight(viewport()->width(), measured));
}

void CBasketView::PaintExtras(QPainter& painter) {
    if (!basket_.items().empty()) return;
    painter.setFont(EmptyTextFont());
    painter.setPen(CellPainter::ToQColor(cellPainter().colors().text));
    painter.drawText(viewport()->rect(), Qt::AlignCenter | Qt::TextSingleLine, QString::fromLatin1(kEmptyBasketText));
}

bool CBasketView::ViewKey(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        basket_.OnCommand(CommandId::ID_REMOVE_SELECTED);
        return true;
    }
    return false;
}

}  // namespace kv::ui
