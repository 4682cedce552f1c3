#include "platform/Localization.h"

#include "platform/PlatformLog.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QMutex>
#include <QMutexLocker>
#include <QtDebug>

namespace platform {

namespace {

using Table = QHash<QString, QString>;

void mergeFile(const QString& path, Table* table)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcPlatform, "Localization: cannot open %s", qPrintable(path));
        return;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        qCWarning(lcPlatform, "Localization: %s is not a JSON object (%s)", qPrintable(path),
                  qPrintable(error.errorString()));
        return;
    }
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isString()) {
            qCWarning(lcPlatform, "Localization: %s: the value of \"%s\" is not a string", qPrintable(path),
                      qPrintable(it.key()));
            continue;
        }
        const QString text = it.value().toString();
        const auto existing = table->constFind(it.key());
        if (existing != table->constEnd() && *existing != text)
            qCWarning(lcPlatform, "Localization: %s: \"%s\" already has another text", qPrintable(path),
                      qPrintable(it.key()));
        table->insert(it.key(), text);
    }
}

// Every JSON object file under ":/strings/<table>/" (in name order), and a
// single ":/strings/<table>.json" when there is one.
Table loadTable(const QString& name)
{
    Table table;
    const QString single = QStringLiteral(":/strings/") + name + QStringLiteral(".json");
    if (QFile::exists(single))
        mergeFile(single, &table);
    const QDir folder(QStringLiteral(":/strings/") + name);
    const QStringList files = folder.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString& file : files)
        mergeFile(folder.filePath(file), &table);
    return table;
}

} // namespace

QString localizedString(const QString& key, const QString& table)
{
    static QMutex mutex;
    static QHash<QString, Table> tables;
    QMutexLocker locker(&mutex);
    auto it = tables.find(table);
    if (it == tables.end())
        it = tables.insert(table, loadTable(table));
    return it->value(key, key);
}

} // namespace platform
