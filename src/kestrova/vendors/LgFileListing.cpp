#include "kestrova/vendors/LgFileListing.h"

#include "kestrova/core/KitLog.h"
#include "kestrova/vendors/LgFrames.h"

#include <QDebug>
#include <QStringList>
#include <QVariantMap>
#include <QXmlStreamReader>

using kestrova::kitLogWith;

namespace kestrova::lg {

namespace {

const QString kName = QStringLiteral("name");
const QString kFileType = QStringLiteral("file-type");
const QString kSize = QStringLiteral("size");
const QString kModified = QStringLiteral("modified");
constexpr qsizetype kRootTextOffset = 12;
constexpr qsizetype kXmlOffset = 10;
constexpr qsizetype kMinListingReply = 13;

QString utf16LeText(const QByteArray& bytes, qsizetype from, qsizetype byteCount)
{
    QString text(byteCount / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(ushort(quint8(bytes[from + 2 * i]) | (quint8(bytes[from + 2 * i + 1]) << 8)));
    return text;
}

QString describe(const QVariantList& list)
{
    QString text;
    QDebug(&text) << list;
    return text;
}

// The entry of one element; false when its name may not stand in a path.
bool entryOf(const QXmlStreamAttributes& attributes, bool folder, QVariantMap& entry)
{
    const struct {
        const char* attribute;
        const QString& key;
    } fields[] = {{"created", kModified}, {"name", kName}, {"size", kSize}};
    for (const auto& field : fields) {
        if (folder && &field.key == &kSize)
            continue;
        if (!attributes.hasAttribute(QLatin1String(field.attribute)))
            return true;
        const QString value = attributes.value(QLatin1String(field.attribute)).toString();
        if (&field.key == &kName && (value.contains(QLatin1Char('/')) || value.contains(QChar(0)))) {
            kitLogWith([&] { return QStringLiteral("LG file browser: item %1 left out of the listing").arg(value); });
            return false;
        }
        entry.insert(field.key, value);
    }
    entry.insert(kFileType, folder ? 1 : 0);
    return true;
}

} // namespace

std::optional<QVariantList> extractDirectoriesFromData(const QByteArray& reply)
{
    if (reply.size() < kRootTextOffset)
        return std::nullopt;
    const qsizetype length = std::min<qsizetype>(readLe16(reply, kXmlOffset), reply.size() - kRootTextOffset);
    const QString text = utf16LeText(reply, kRootTextOffset, length);
    QVariantList folders;
    for (const QString& piece : text.split(QLatin1Char('/')))
        folders.append(QVariantMap{{kName, piece.section(QLatin1Char(':'), 0, 0)}, {kFileType, 1}});
    kitLogWith([&] { return QStringLiteral("LG file browser: root %1").arg(describe(folders)); });
    return folders;
}

std::optional<QString> getXmlStringFromDirData(const QByteArray& reply)
{
    if (reply.size() < kMinListingReply)
        return std::nullopt;
    return utf16LeText(reply, kXmlOffset, reply.size() - 2 - kXmlOffset);
}

QVariantList parseLgDirectoryListingFromXMLString(const QString& xml)
{
    if (xml.isEmpty())
        return {};
    QVariantList files;
    QVariantList folders;
    QXmlStreamReader reader(xml);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        ++depth;
        const bool file = reader.name() == QLatin1String("file");
        if (depth != 2 || (!file && reader.name() != QLatin1String("folder")))
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        if (attributes.value(QLatin1String("attr")) == QLatin1String("HIDDEN"))
            continue;
        QVariantMap entry;
        if (entryOf(attributes, !file, entry))
            (file ? files : folders).append(entry);
    }
    if (reader.hasError())
        kitLogWith([&] {
            return QStringLiteral("LG file browser: listing broken at line %1: %2")
                .arg(reader.lineNumber())
                .arg(reader.errorString());
        });
    const QVariantList listing = files + folders;
    kitLogWith([&] { return QStringLiteral("LG file browser: listing %1").arg(describe(listing)); });
    return listing;
}

} // namespace kestrova::lg
