#include "ui/browser/CellPainter.h"

#include <QApplication>
#include <QFontMetrics>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>

#include "browser/PaletteItem.h"
#include "ui/bridge/CellPicture.h"
#include "ui/bridge/SideBySide.h"

namespace kv::ui {

namespace {

QRect ToQRect(const PixelRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }
PixelRect ToPixelRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

// The name under a cell: the path after its last slash.
QString NameOf(const std::filesystem::path& path) { return QString::fromStdString(path.filename().string()); }

// Pictures not drawn for this many paints are let go.
constexpr quint64 kPaintsKept = 8;

QPixmap IconPixmap(const char* resource, int size) {
    return QIcon(QString::fromLatin1(resource)).pixmap(size, size);
}

}  // namespace

QColor CellPainter::ToQColor(ColorRef color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF), static_cast<int>((color >> 16) & 0xFF));
}

CellPainter::CellPainter(const BrowserColors& colors)
    : colors_(colors),
      background_(ToQColor(colors.background)),
      inFrame_(ToQColor(colors.backgroundInFrame)),
      border_(ToQColor(colors.border)),
      selectedBorder_(ToQColor(colors.selectedBorder)),
      text_(ToQColor(colors.text)),
      selectedText_(ToQColor(colors.selectedText)) {
    labelFont_ = QApplication::font();
    labelFont_.setPointSize(8);
    labelTextHeight_ = QFontMetrics(labelFont_).height();
    extensionFont_ = QApplication::font();
    extensionFont_.setPixelSize(8);
    extensionFont_.setBold(true);
    fileIcon_ = IconPixmap(":/icons/filetype.svg", 32);
    soundIcon_ = IconPixmap(":/icons/sound.svg", 64);
    soundMark_ = IconPixmap(":/icons/note.svg", 16);
}

const QPixmap& CellPainter::Card(QSize size, bool selected) {
    const quint64 key = (quint64(size.width()) << 33) | (quint64(size.height()) << 1) | (selected ? 1 : 0);
    auto found = cards_.find(key);
    if (found != cards_.end()) return *found;
    QPixmap card(size);
    card.fill(background_);
    QPainter painter(&card);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour = selected ? selectedBorder_ : border_;
    // A 12-pixel pen with round joins around the rectangle 6 pixels in: the card reaches the cell's
    // edge with rounded corners; inside, a filled rectangle 11 pixels in.
    QPen pen(colour, 2 * kCellMargin);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(kCellMargin, kCellMargin, size.width() - 2 * kCellMargin, size.height() - 2 * kCellMargin));
    painter.fillRect(QRect(11, 11, size.width() - 22, size.height() - 22), colour);
    painter.end();
    return *cards_.insert(key, card);
}

bool CellPainter::HasPicture(const QString& key, const CPaletteItemImg& cell, QSize size) const {
    const auto found = pictures_.constFind(key);
    return found != pictures_.cend() && found->size == size && IsSamePicture(cell, found->id);
}

QImage CellPainter::MakePicture(const DibImagePtr& bitmap, QSize size, std::shared_ptr<const void>& id) {
    CellPicture picture = PictureOf(bitmap);
    id = std::move(picture.id);
    if (picture.image.isNull() || picture.image.size() == size) return std::move(picture.image);
    return picture.image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void CellPainter::Keep(const QString& key, QImage image, std::shared_ptr<const void> id, QSize size) {
    if (image.isNull()) {
        pictures_.remove(key);
        return;
    }
    Picture made;
    made.id = std::move(id);
    made.size = size;
    made.lastPaint = paint_;
    made.pixmap = QPixmap::fromImage(std::move(image));
    pictures_.insert(key, std::move(made));
}

const CellPainter::Picture* CellPainter::PictureFor(const QString& key, CPaletteItemImg& cell, QSize size) {
    if (!HasPicture(key, cell, size)) {
        std::shared_ptr<const void> id;
        QImage image = MakePicture(cell.GetThumbnail(), size, id);
        Keep(key, std::move(image), std::move(id), size);
    }
    auto found = pictures_.find(key);
    if (found == pictures_.end()) return nullptr;
    found->lastPaint = paint_;
    return &*found;
}

std::vector<CellPainter::PictureJob> CellPainter::TakeBitmaps(const std::vector<CThumbsBrowser::CellPaint>& cells,
                                                              int zoom) {
    std::vector<PictureJob> jobs;
    std::vector<CPaletteItemImg*> owners;
    for (const CThumbsBrowser::CellPaint& paint : cells) {
        if (!paint.cell) continue;
        const QSize size = ToQRect(paint.cell->GetRegion(paint.rect, zoom)).size();
        QString key = QString::fromStdString(paint.item->path.string());
        if (HasPicture(key, *paint.cell, size)) continue;
        jobs.push_back({std::move(key), size, {}, {}, {}});
        owners.push_back(paint.cell.get());
    }
    // A cell read from the disk cache has only its stream: decoding it reads the cell's sizes.
    RunSideBySide(jobs.size(), [&](size_t i) { jobs[i].bitmap = owners[i]->GetThumbnail(); });
    return jobs;
}

void CellPainter::MakePictures(std::vector<PictureJob>& jobs) {
    RunSideBySide(jobs.size(), [&](size_t i) {
        PictureJob& job = jobs[i];
        job.image = MakePicture(job.bitmap, job.size, job.id);
    });
    for (PictureJob& job : jobs) Keep(job.key, std::move(job.image), std::move(job.id), job.size);
    jobs.clear();
}

void CellPainter::EndPaint(bool wholeView) {
    if (!wholeView) return;
    ++paint_;
    for (auto it = pictures_.begin(); it != pictures_.end();) {
        if (paint_ - it->lastPaint > kPaintsKept) it = pictures_.erase(it);
        else ++it;
    }
}

bool CellPainter::Draw(QPainter& painter, const CThumbsBrowser::CellPaint& paint, int zoom) {
    const PixelRect& cellRect = paint.rect;
    CPaletteItemImg* cell = paint.cell.get();
    static const CPaletteItem plainCell;
    const CPaletteItem& geometry = cell ? static_cast<const CPaletteItem&>(*cell) : plainCell;
    const QRect inner = ToQRect(geometry.InnerRect(cellRect));
    const QRect region = ToQRect(geometry.GetRegion(cellRect, zoom));
    const QString key = QString::fromStdString(paint.item->path.string());

    // The card around the inner area, copied in four strips; inside, the view's background around
    // the picture. Every pixel of the cell is drawn once, which is what a full view's paint costs.
    const QPixmap& card = Card(QSize(cellRect.Width(), cellRect.Height()), paint.selected);
    const QPoint origin(cellRect.left, cellRect.top);
    FillAround(painter, card, inner.translated(-origin), origin, card.rect());
    const QRect shown = region & inner;
    FillAround(painter, QPixmap(), shown, QPoint(), inner);

    // The picture, or its stand-in on the in-frame colour.
    const Picture* picture = cell ? PictureFor(key, *cell, region.size()) : nullptr;
    if (picture) {
        painter.drawPixmap(region.topLeft(), picture->pixmap);
        painter.setPen(QColor(64, 64, 64));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(region.adjusted(-1, -1, 0, 0));
        if (cell->hasSoundNote) DrawSoundMark(painter, region);
    } else {
        painter.fillRect(region, inFrame_);
        DrawFallback(painter, region, paint.item->path);
    }

    DrawLabel(painter, paint, ToQRect(geometry.LabelRect(cellRect)));
    return picture != nullptr;
}

void CellPainter::FillAround(QPainter& painter, const QPixmap& source, const QRect& hole, QPoint at, const QRect& area) {
    // Up to four strips: above and below the hole across the whole area, then left and right of it.
    const QRect strips[] = {
        QRect(area.left(), area.top(), area.width(), hole.top() - area.top()),
        QRect(area.left(), hole.bottom() + 1, area.width(), area.bottom() - hole.bottom()),
        QRect(area.left(), hole.top(), hole.left() - area.left(), hole.height()),
        QRect(hole.right() + 1, hole.top(), area.right() - hole.right(), hole.height()),
    };
    for (const QRect& strip : strips) {
        if (strip.isEmpty()) continue;
        if (source.isNull()) painter.fillRect(strip.translated(at), background_);
        else painter.drawPixmap(at + strip.topLeft(), source, strip);
    }
}

void CellPainter::DrawFallback(QPainter& painter, const QRect& area, const std::filesystem::path& path) {
    const std::string extension = path.extension().string();
    if (extension == ".wav" || extension == ".WAV") {
        const int side = std::min(area.width(), area.height());
        const QRect fitted(area.left() + (area.width() - side) / 2, area.top() + (area.height() - side) / 2, side, side);
        painter.drawPixmap(fitted, soundIcon_);
        return;
    }
    const QRect icon(area.left() + (area.width() - 32) / 2, area.top() + (area.height() - 32) / 2, 32, 32);
    painter.drawPixmap(icon.topLeft(), fileIcon_);
    if (extension.size() > 1) {
        painter.setFont(extensionFont_);
        painter.setPen(Qt::white);
        painter.drawText(QRect(icon.left(), icon.top() + 19, 32, 10), Qt::AlignCenter,
                         QString::fromStdString(extension.substr(1)).toUpper());
    }
}

void CellPainter::DrawSoundMark(QPainter& painter, const QRect& picture) {
    painter.drawPixmap(picture.right() - soundMark_.width() - 2, picture.bottom() - soundMark_.height() - 2, soundMark_);
}

const CellPainter::Label& CellPainter::LabelFor(const QString& name, int width, bool elided) {
    const QString key = name + QChar(elided ? u'\x1' : u'\x2') + QString::number(elided ? width : 0);
    auto found = labels_.find(key);
    if (found != labels_.end()) return *found;
    const QFontMetrics metrics(labelFont_);
    Label label;
    label.width = metrics.horizontalAdvance(name);
    QStaticText text(elided ? metrics.elidedText(name, Qt::ElideRight, width) : name);
    text.setTextFormat(Qt::PlainText);
    text.prepare(QTransform(), labelFont_);
    label.text = text;
    if (labels_.size() > 4096) labels_.clear();
    return *labels_.insert(key, label);
}

void CellPainter::DrawLabel(QPainter& painter, const CThumbsBrowser::CellPaint& paint, const QRect& label) {
    const QString name = NameOf(paint.item->path);
    const Label& whole = LabelFor(name, 0, false);
    const bool fits = whole.width < label.width() - 3;
    if (paint.cell) paint.cell->MeasureLabel(ToPixelRect(label), whole.width);
    painter.setFont(labelFont_);
    painter.setPen(paint.selected ? selectedText_ : text_);
    const int y = label.top() + (label.height() - labelTextHeight_) / 2;
    if (fits) {
        painter.drawStaticText(label.left() + (label.width() - whole.width) / 2, y, whole.text);
        return;
    }
    if (paint.selected && paint.cell) {
        painter.save();
        painter.setClipRect(label);
        painter.drawStaticText(label.left() - paint.cell->labelScrollOffset, y, whole.text);
        painter.restore();
        return;
    }
    const Label& cut = LabelFor(name, label.width(), true);
    const int width = static_cast<int>(cut.text.size().width());
    painter.drawStaticText(label.left() + (label.width() - width) / 2, y, cut.text);
}

}  // namespace kv::ui
