// The LG file browser's listings from phone bytes: the root listing reads
// no further than the reply, gives one folder per piece and no "/" in a
// name; the XML listing gives files before folders, each entry a prefix of
// its keys, with no name that holds "/" or a NUL.
#include "kestrova/vendors/LgFileListing.h"

#include <QVariantMap>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkEntries(const QVariantList& entries, bool rootListing)
{
    bool folders = false;
    for (const QVariant& value : entries) {
        const QVariantMap entry = value.toMap();
        const QString name = entry.value(QStringLiteral("name")).toString();
        check(!name.contains(QLatin1Char('/')));
        if (rootListing) {
            check(entry.value(QStringLiteral("file-type")).toInt() == 1 && entry.size() == 2);
            continue;
        }
        check(!name.contains(QChar(0)));
        // A prefix of "modified", "name", "size" (files), "file-type".
        const bool hasType = entry.contains(QStringLiteral("file-type"));
        check(!entry.contains(QStringLiteral("name")) || entry.contains(QStringLiteral("modified")));
        check(!hasType || entry.contains(QStringLiteral("name")));
        if (hasType) {
            const bool folder = entry.value(QStringLiteral("file-type")).toInt() == 1;
            check(!folders || folder);
            folders = folders || folder;
            check(folder != entry.contains(QStringLiteral("size")));
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kestrova::lg;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<QVariantList> root = extractDirectoriesFromData(input)) {
        check(input.size() >= 12);
        check(root->size() <= (input.size() - 12) / 2 + 1);
        checkEntries(*root, true);
    } else {
        check(input.size() < 12);
    }
    const std::optional<QString> xml = getXmlStringFromDirData(input);
    check(xml.has_value() == (input.size() >= 13));
    if (xml)
        checkEntries(parseLgDirectoryListingFromXMLString(*xml), false);
    checkEntries(parseLgDirectoryListingFromXMLString(QString::fromUtf8(input)), false);
    return 0;
}
