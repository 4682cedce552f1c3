#include "platform/Localization.h"

#include <QDir>
#include <gtest/gtest.h>

TEST(Localization, KnownKeyAnswersItsText)
{
    EXPECT_EQ(platform::localizedString(QStringLiteral("Cancel")), QStringLiteral("Cancel"));
    EXPECT_EQ(platform::localizedString(QStringLiteral("OK"), QStringLiteral("Localizable")), QStringLiteral("OK"));
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
