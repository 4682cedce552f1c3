#include "widgets/PolishedMetall.h"

#include "platform/PropertyList.h"
#include "platform/gui/Coordinates.h"
#include "widgets/WidgetsLog.h"

#include <QFile>
#include <QPainter>

namespace polished_metall {

namespace {

constexpr qint64 kLargestResource = 4 * 1024 * 1024;
constexpr int kElements = 15;

struct Store {
    QString path = defaultResourcePath();
    std::vector<QImage> elements; // empty until read
};

Store& store()
{
    static Store instance;
    return instance;
}

bool load()
{
    Store& s = store();
    if (!s.elements.empty())
        return true;
    QFile file(s.path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestResource) {
        qCWarning(lcWidgets) << "Polished window artwork not readable at" << s.path;
        return false;
    }
    QString error;
    const QVariantList array = platform::plist::read(file.readAll(), &error).toList();
    std::vector<QImage> elements;
    for (const QVariant& element : array) {
        QImage picture;
        if (element.typeId() == QMetaType::QByteArray)
            picture.loadFromData(element.toByteArray());
        elements.push_back(picture);
    }
    const bool complete = elements.size() >= kElements
        && std::all_of(elements.begin() + 1, elements.begin() + kElements, [](const QImage& i) { return !i.isNull(); });
    if (!complete) {
        qCWarning(lcWidgets) << "Polished window artwork at" << s.path << "lacks images" << error;
        return false;
    }
    s.elements = std::move(elements);
    return true;
}

QImage bandImage(const QImage& tile, int width)
{
    QImage band(width, tile.height(), QImage::Format_ARGB32_Premultiplied);
    band.fill(Qt::transparent);
    QPainter painter(&band);
    painter.fillRect(band.rect(), QBrush(tile));
    return band;
}

// A rectangle given bottom-left on a canvas of that height, as Qt draws it.
QRect onCanvas(const QRect& rect, int height)
{
    return platform::gui::flipRect(rect, height).toRect();
}

// Draws the part source (bottom-left in the image) of image into target.
void drawPart(QPainter& painter, const QRect& target, const QImage& image, const QRect& source, int canvasHeight)
{
    if (target.width() <= 0 || target.height() <= 0)
        return;
    painter.drawImage(onCanvas(target, canvasHeight), image, onCanvas(source, image.height()));
}

} // namespace

QString defaultResourcePath()
{
    return QStringLiteral(":/images/program/PolishedWindowData.pol");
}

void setResourcePath(const QString& path)
{
    store().path = path;
    store().elements.clear();
}

std::optional<Images> images(bool flat)
{
    if (!load())
        return std::nullopt;
    const auto& e = store().elements;
    if (flat)
        return Images{e[9], e[10], e[11], e[12], e[13], e[14], {}, {}};
    return Images{e[1], e[2], e[3], e[4], e[5], e[6], e[7], e[8]};
}

Layout layout(const QSize& window, const Images& i)
{
    const int w = window.width();
    const int h = window.height();
    const int bandWidth = std::max(w, kMinimumBandWidth);
    Layout l;
    l.bandSize[0] = QSize(bandWidth, i.bottomTile.height());
    l.bandSize[1] = QSize(bandWidth, i.topTile.height());
    const int w1 = i.bottomLeft.width(), h1 = i.bottomLeft.height(), w3 = i.bottomRight.width();
    const int w4 = i.topLeft.width(), h4 = i.topLeft.height(), w6 = i.topRight.width(), h6 = i.topRight.height();
    l.bottomSource = QRect(0, 0, w - w1 - w3, h1);
    l.bottomTarget = QRect(w1, 0, w - w1 - w3, h1);
    l.topSource = QRect(0, 0, w - w4 - w6, h4);
    l.topTarget = QRect(w4, h - h4, w - w4 - w6, h4);
    l.bottomLeft = QRect(QPoint(0, 0), i.bottomLeft.size());
    l.bottomRight = QRect(QPoint(w - w3, 0), i.bottomRight.size());
    l.topLeft = QRect(QPoint(0, h - h4), i.topLeft.size());
    l.topRight = QRect(QPoint(w - w6, h - h6), i.topRight.size());
    if (!i.leftEdge.isNull()) {
        l.leftEdge = QRect(0, 0, i.leftEdge.width(), h);
        l.rightEdge = QRect(w - i.rightEdge.width() + 1, 0, i.rightEdge.width(), h);
    }
    return l;
}

std::optional<QImage> compose(const QSize& window, bool flat)
{
    const std::optional<Images> set = images(flat);
    if (!set || window.isEmpty())
        return std::nullopt;
    const Layout l = layout(window, *set);
    const int h = window.height();
    QImage canvas(window, QImage::Format_ARGB32_Premultiplied);
    const QImage& top = set->topTile;
    canvas.fill(top.pixelColor(0, top.height() - 1));
    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (!set->leftEdge.isNull()) {
        painter.drawImage(onCanvas(l.leftEdge, h), set->leftEdge);
        painter.drawImage(onCanvas(l.rightEdge, h), set->rightEdge);
    }
    drawPart(painter, l.bottomTarget, bandImage(set->bottomTile, l.bandSize[0].width()), l.bottomSource, h);
    painter.drawImage(onCanvas(l.bottomLeft, h), set->bottomLeft);
    painter.drawImage(onCanvas(l.bottomRight, h), set->bottomRight);
    drawPart(painter, l.topTarget, bandImage(top, l.bandSize[1].width()), l.topSource, h);
    painter.drawImage(onCanvas(l.topLeft, h), set->topLeft);
    painter.drawImage(onCanvas(l.topRight, h), set->topRight);
    painter.end();
    return canvas;
}

std::optional<QBrush> sizedPolishedBackColor(const QSize& window, bool flat)
{
    std::optional<QImage> canvas = compose(window, flat);
    if (!canvas)
        return std::nullopt;
    return QBrush(*canvas);
}

} // namespace polished_metall
