#include "platform/Localization.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

TEST(Localization, KnownKeyAnswersItsText)
{
    EXPECT_EQ(platform::localizedString(QStringLiteral("Cancel")), QStringLiteral("Cancel"));
    EXPECT_EQ(platform::localizedString(QStringLiteral("OK"), QStringLiteral("Localizable")), QStringLiteral("OK"));

    // Every text of every file of the table, merged in file-name order. Keys
    // whose text differs from the key show that the text comes from the table
    // and not from the missing-key answer.
    const QDir source(QStringLiteral(MARVESTO_SOURCE_DIR "/data/strings/Localizable"));
    QHash<QString, QString> expected;
    for (const QString& name : source.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile file(source.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.value().isString())
                expected.insert(it.key(), it.value().toString());
        }
    }
    int translated = 0;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        EXPECT_EQ(platform::localizedString(it.key()), it.value()) << it.key().toStdString();
        translated += it.key() != it.value() ? 1 : 0;
    }
    EXPECT_GT(translated, 0);
}

TEST(Localization, MissingKeyAnswersTheKey)
{
    EXPECT_EQ(platform::localizedString(QStringLiteral("No such key %@")), QStringLiteral("No such key %@"));
    EXPECT_EQ(platform::localizedString(QStringLiteral("Cancel"), QStringLiteral("NoSuchTable")), QStringLiteral("Cancel"));
    EXPECT_EQ(platform::localizedString(QString()), QString());
}

TEST(Localization, EveryFileOfTheTableIsCompiledIn)
{
    // Each data/strings/<table>/*.json is a resource of the platform library.
    const QDir source(QStringLiteral(MARVESTO_SOURCE_DIR "/data/strings/Localizable"));
    const QDir resource(QStringLiteral(":/strings/Localizable"));
    const QStringList files = source.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    EXPECT_TRUE(files.contains(QStringLiteral("platform.json")));
    EXPECT_EQ(resource.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name), files);
}
