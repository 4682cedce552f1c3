#include "phone/DZEntryTexts.h"

#include "phone/DZTreeNames.h"

#include <QCache>
#include <QIcon>
#include <QMimeDatabase>

namespace dztree {

namespace {

// One level of the size text: whole units of unit bytes, with a decimal for
// small counts, rounded up from 513/1024 of a unit.
QString sizeAtLevel(qint64 bytes, qint64 unit, const char* name)
{
    const qint64 whole = bytes / unit;
    const qint64 rest = bytes % unit;
    const qint64 step = unit / 1024;
    if (whole <= 9 && rest > 99 * step)
        return QStringLiteral("%1,%2 %3").arg(whole).arg(rest * 10 / unit).arg(QLatin1String(name));
    return QStringLiteral("%1 %2").arg(rest >= 513 * step ? whole + 1 : whole).arg(QLatin1String(name));
}

QString themeIconName(const QString& type)
{
    if (type == QLatin1String("fldr"))
        return QStringLiteral("folder");
    if (type == QLatin1String("idsk"))
        return QStringLiteral("drive-removable-media");
    if (type == QLatin1String("prvf"))
        return QStringLiteral("folder-locked");
    if (type == QLatin1String("APPL"))
        return QStringLiteral("application-x-executable");
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + type, QMimeDatabase::MatchExtension);
    return mime.isValid() ? mime.iconName() : QStringLiteral("text-x-generic");
}

QImage blackAndWhite(const QImage& image)
{
    QImage grey = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const int g = qGray(line[x]);
            line[x] = qRgba(g, g, g, qAlpha(line[x]));
        }
    }
    return grey;
}

} // namespace

QString displayableSize(qint64 bytes)
{
    if (bytes < 0)
        return kNoValue;
    if (bytes <= 999)
        return QStringLiteral("%1 Byte").arg(bytes);
    if (bytes <= 9999)
        return QStringLiteral("%1.%2 Byte").arg(bytes / 1000).arg(bytes % 1000, 3, 10, QLatin1Char('0'));
    constexpr qint64 kKB = 1024;
    constexpr qint64 kMB = kKB * 1024;
    constexpr qint64 kGB = kMB * 1024;
    if (bytes / kKB <= 9999)
        return sizeAtLevel(bytes, kKB, "KB");
    if (bytes / kMB <= 9999)
        return sizeAtLevel(bytes, kMB, "MB");
    return sizeAtLevel(bytes, kGB, "GB");
}

QString formattedModificationDate(const QString& t)
{
    if (t.size() != 15 && t.size() != 16)
        return kNoValue;
    const QChar firstYear = t.at(0) == QLatin1Char('0') ? QLatin1Char('2') : t.at(0);
    return QStringLiteral("%1%2.%3%4.%5%6%7%8, %9%10:%11%12")
        .arg(t.at(6)).arg(t.at(7)).arg(t.at(4)).arg(t.at(5))
        .arg(firstYear).arg(t.at(1)).arg(t.at(2)).arg(t.at(3))
        .arg(t.at(9)).arg(t.at(10)).arg(t.at(11)).arg(t.at(12));
}

QString imageExtension(quint32 fileType, const QString& name)
{
    if (fileType == 0x4449525F)   // 'DIR_'
        return name.endsWith(QLatin1Char(':')) ? QStringLiteral("idsk") : QStringLiteral("fldr");
    if (fileType == 0x50524956)   // 'PRIV'
        return QStringLiteral("prvf");
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1);
    if (extension.compare(QLatin1String("sis"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("APPL");
    if (extension == QLatin1String("jad"))
        return QStringLiteral("jar");
    return extension;
}

QImage iconImage(const QString& type, int size, bool upToDate)
{
    static QCache<QString, QImage> cache(32);
    const QString key = QStringLiteral("%1_%2").arg(type).arg(size);
    const QString wanted = upToDate ? key : key + QStringLiteral("_Black");
    if (QImage* cached = cache.object(wanted))
        return *cached;
    QImage plain;
    if (QImage* cached = cache.object(key)) {
        plain = *cached;
    } else {
        const QIcon icon = QIcon::fromTheme(themeIconName(type), QIcon::fromTheme(QStringLiteral("text-x-generic")));
        plain = icon.pixmap(size, size).toImage();
        if (plain.isNull()) {
            plain = QImage(size, size, QImage::Format_ARGB32);
            plain.fill(Qt::transparent);
        }
        plain = plain.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation).mirrored(false, true);
        cache.insert(key, new QImage(plain));
    }
    if (upToDate)
        return plain;
    QImage grey = blackAndWhite(plain);
    cache.insert(wanted, new QImage(grey));
    return grey;
}

QColor etiketColor(unsigned label)
{
    static const double table[8][3] = {{0, 0, 0},
                                       {0.6588, 0.6588, 0.6588},
                                       {0.6824, 0.8471, 0.2549},
                                       {0.7608, 0.5412, 0.8510},
                                       {0.3608, 0.6275, 1.0},
                                       {0.9216, 0.8588, 0.2549},
                                       {0.9882, 0.3882, 0.3490},
                                       {0.9647, 0.6667, 0.2431}};
    if (label == 0 || label > 7)
        return QColor(Qt::transparent);
    return QColor::fromRgbF(float(table[label][0]), float(table[label][1]), float(table[label][2]), 1.0f);
}

} // namespace dztree
