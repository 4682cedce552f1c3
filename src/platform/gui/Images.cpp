#include "platform/gui/Images.h"

#include "platform/gui/GuiLog.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QPainter>
#include <QSvgRenderer>

namespace platform::gui {

namespace {

constexpr qreal kSvgScale = 2.0;

QString pathFor(const QString& bundle, const QString& name, const char* extension)
{
    return QStringLiteral(":/images/%1/%2.%3").arg(bundle, name, QLatin1String(extension));
}

QImage placeholder()
{
    QImage picture(16, 16, QImage::Format_ARGB32_Premultiplied);
    picture.fill(QColor(200, 200, 200));
    QPainter painter(&picture);
    painter.setPen(QColor(120, 120, 120));
    painter.drawRect(0, 0, 15, 15);
    painter.drawLine(0, 0, 15, 15);
    painter.drawLine(0, 15, 15, 0);
    return picture;
}

QImage loadImage(const QString& bundle, const QString& name)
{
    if (!name.isEmpty() && !name.contains(u'/')) {
        const QString png = pathFor(bundle, name, "png");
        if (QFile::exists(png)) {
            QImage picture(png);
            if (!picture.isNull())
                return picture;
        }
        const QString svg = pathFor(bundle, name, "svg");
        if (QFile::exists(svg)) {
            QSvgRenderer renderer(svg);
            const QSize size = renderer.defaultSize();
            if (renderer.isValid() && !size.isEmpty()) {
                QImage picture(size * kSvgScale, QImage::Format_ARGB32_Premultiplied);
                picture.fill(Qt::transparent);
                QPainter painter(&picture);
                renderer.render(&painter);
                painter.end();
                picture.setDevicePixelRatio(kSvgScale);
                return picture;
            }
        }
    }
    qCWarning(lcGui) << "Image" << name << "not found in bundle" << bundle << "; a placeholder stands in";
    return {};
}

} // namespace

QImage image(const QString& bundle, const QString& name)
{
    static QMutex mutex;
    static QHash<QString, QImage> cache;
    const QString key = bundle + u'/' + name;
    QMutexLocker lock(&mutex);
    auto it = cache.constFind(key);
    if (it == cache.constEnd()) {
        QImage picture = loadImage(bundle, name);
        it = cache.insert(key, picture.isNull() ? placeholder() : picture);
    }
    return *it;
}

bool hasImage(const QString& bundle, const QString& name)
{
    return !name.isEmpty() && !name.contains(u'/')
        && (QFile::exists(pathFor(bundle, name, "png")) || QFile::exists(pathFor(bundle, name, "svg")));
}

} // namespace platform::gui
