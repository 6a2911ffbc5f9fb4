#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QStaticText>
#include <QString>
#include <memory>
#include <vector>

#include "app/BrowserColors.h"
#include "browser/ThumbsBrowser.h"

class QPainter;

namespace kv::ui {

// Draws thumbnail cells: the card with its rounded border (kept as two pictures per cell size,
// normal and selected, copied around the inner area, where the view's background surrounds the
// picture; a cell covers its whole rectangle), the picture with a thin frame, the file
// name under it, and a stand-in picture for files without a thumbnail. What it draws for a cell is
// kept for the next paint: the picture scaled to its place once, the name laid out once.
class CellPainter {
public:
    explicit CellPainter(const BrowserColors& colors);

    const BrowserColors& colors() const { return colors_; }
    static QColor ToQColor(ColorRef color);

    // The pictures that the cells about to be drawn lack are made in two steps, side by side on
    // the machine's cores, since making them is most of what a paint costs: under the cache's lock
    // (as Draw), the cells' stored streams are decoded and their bitmaps taken; then, without the
    // lock, so that the builders may store cells meanwhile, the bitmaps are converted and kept.
    struct PictureJob {
        QString key;
        QSize size;
        DibImagePtr bitmap;
        QImage image;
        std::shared_ptr<const void> id;
    };
    std::vector<PictureJob> TakeBitmaps(const std::vector<CThumbsBrowser::CellPaint>& cells, int zoom);
    void MakePictures(std::vector<PictureJob>& jobs);

    // Draws one cell at the browser's zoom; a cached cell also learns where its label went and how
    // wide the name is, so that the label timer can scroll it. True when it drew the cell's picture.
    bool Draw(QPainter& painter, const CThumbsBrowser::CellPaint& cell, int zoom);

    // Forgets the pictures of cells that were not drawn in the last few paints of the whole view,
    // so that a view keeps pictures for what it shows and a little more. Paints of a part of the
    // view (a cell, a label) age nothing.
    void EndPaint(bool wholeView);
    size_t KeptPictures() const { return static_cast<size_t>(pictures_.size()); }

private:
    struct Picture {
        std::shared_ptr<const void> id;
        QSize size;
        QPixmap pixmap;
        quint64 lastPaint = 0;
    };
    struct Label {
        QStaticText text;
        int width = 0;
    };

    const QPixmap& Card(QSize size, bool selected);
    // Draws an area without the hole in it: copied from the source (area coordinates, drawn at
    // the offset), or filled with the background when the source is null.
    void FillAround(QPainter& painter, const QPixmap& source, const QRect& hole, QPoint at, const QRect& area);
    const Picture* PictureFor(const QString& key, CPaletteItemImg& cell, QSize size);
    // Whether the picture kept for a cell is its present one at this size.
    bool HasPicture(const QString& key, const CPaletteItemImg& cell, QSize size) const;
    // A cell's bitmap as a picture of a size, made on any thread; null without one.
    static QImage MakePicture(const DibImagePtr& bitmap, QSize size, std::shared_ptr<const void>& id);
    void Keep(const QString& key, QImage image, std::shared_ptr<const void> id, QSize size);
    void DrawFallback(QPainter& painter, const QRect& area, const std::filesystem::path& path);
    void DrawSoundMark(QPainter& painter, const QRect& picture);
    void DrawLabel(QPainter& painter, const CThumbsBrowser::CellPaint& cell, const QRect& label);
    const Label& LabelFor(const QString& name, int width, bool elided);

    BrowserColors colors_;
    QColor background_, inFrame_, border_, selectedBorder_, text_, selectedText_;
    QFont labelFont_;
    int labelTextHeight_ = 0;
    QFont extensionFont_;
    QHash<quint64, QPixmap> cards_;  // by size and selection
    QHash<QString, Picture> pictures_;
    QHash<QString, Label> labels_;  // by name, width and whether it is cut short
    QPixmap fileIcon_;
    QPixmap soundIcon_;
    QPixmap soundMark_;
    quint64 paint_ = 0;
};

}  // namespace kv::ui
