#include "links/ObexFolderListing.h"

#include "foundation/NamedLog.h"
#include "foundation/QuickLog.h"

#include <QXmlStreamReader>

namespace obexlisting {

namespace {
// A listing never holds more entries than this; the rest is dropped.
constexpr int kMaxEntries = 100000;

void logDropped(const QString& reason)
{
    QuickLogToNamedLog(qvlog::kXT, QStringLiteral("%1"), QStringLiteral("[folder listing] entry dropped: %1").arg(reason));
}
} // namespace

bool isSoundEntryName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

std::optional<FTPFileList> read(const QByteArray& xml, const QString& folder, FTPFileOwner* owner, QString* error)
{
    QXmlStreamReader reader(xml);
    FTPFileList entries;
    bool sawListing = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        const QStringView element = reader.name();
        if (element == QLatin1String("folder-listing")) {
            sawListing = true;
            continue;
        }
        const bool isFolder = element == QLatin1String("folder");
        if (!isFolder && element != QLatin1String("file"))
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        const QString name = attributes.value(QLatin1String(FTPFile::kName)).toString();
        if (!isSoundEntryName(name)) {
            logDropped(QStringLiteral("name \"%1\"").arg(QString(name).replace(QChar(0), QLatin1String("\\0"))));
            continue;
        }
        if (entries.size() >= kMaxEntries) {
            logDropped(QStringLiteral("more than %1 entries").arg(kMaxEntries));
            continue;
        }
        QVariantMap map{{QLatin1String(FTPFile::kName), name},
                        {QLatin1String(FTPFile::kFileTypeKey), isFolder ? 1 : 0}};
        if (!isFolder) {
            bool ok = false;
            const qint64 size = attributes.value(QLatin1String(FTPFile::kSize)).trimmed().toLongLong(&ok);
            map.insert(QLatin1String(FTPFile::kSize), ok && size >= 0 ? size : qint64(-1));
        }
        for (const char* key : {FTPFile::kModified, FTPFile::kUserPerm}) {
            if (attributes.hasAttribute(QLatin1String(key)))
                map.insert(QLatin1String(key), attributes.value(QLatin1String(key)).toString());
        }
        entries.append(FTPFile::ftpFileWithAttributes(map, folder, owner));
    }
    if (reader.hasError() || !sawListing) {
        const QString text = reader.hasError() ? reader.errorString() : QStringLiteral("no folder-listing element");
        QuickLogToNamedLog(qvlog::kXT, QStringLiteral("%1"), QStringLiteral("[folder listing] unreadable: %1").arg(text));
        if (error)
            *error = text;
        return std::nullopt;
    }
    return entries;
}

} // namespace obexlisting
