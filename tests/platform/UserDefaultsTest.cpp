#include "platform/UserDefaults.h"

#include "platform/Bundle.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QTimeZone>
#include <gtest/gtest.h>

using platform::UserDefaults;

namespace {
// Each test its own domain, so tests do not see each other's files.
QString domainFor(const char* test)
{
    return QStringLiteral("com.marvesto.test.") + QLatin1String(test);
}
} // namespace

TEST(UserDefaults, FileLivesUnderTheConfigHome)
{
    UserDefaults defaults(domainFor("Place"));
    EXPECT_EQ(defaults.filePath(),
              platform::paths::configHome() + QStringLiteral("/MarvestoLG/com.marvesto.test.Place.plist"));
    EXPECT_EQ(UserDefaults::standard().filePath(),
              platform::paths::configHome() + QStringLiteral("/MarvestoLG/") + platform::bundle::mainBundleIdentifier()
                  + QStringLiteral(".plist"));
    EXPECT_EQ(&UserDefaults::standard(), &UserDefaults::standard());
}

TEST(UserDefaults, RegisteredDefaultsUnderThePersistentDomain)
{
    UserDefaults defaults(domainFor("Registered"));
    defaults.registerDefaults({{QStringLiteral("Count"), 5}, {QStringLiteral("Name"), QStringLiteral("KG800")}});
    EXPECT_TRUE(defaults.contains(QStringLiteral("Count")));
    EXPECT_EQ(defaults.integer(QStringLiteral("Count")), 5);
    defaults.setObject(QStringLiteral("Count"), 9);
    EXPECT_EQ(defaults.integer(QStringLiteral("Count")), 9);
    defaults.remove(QStringLiteral("Count"));
    EXPECT_EQ(defaults.integer(QStringLiteral("Count")), 5);   // the registered value again
    defaults.setObject(QStringLiteral("Name"), QStringLiteral("Other"));
    defaults.setObject(QStringLiteral("Name"), QVariant());   // invalid removes
    EXPECT_EQ(defaults.string(QStringLiteral("Name")), QStringLiteral("KG800"));
    EXPECT_FALSE(defaults.contains(QStringLiteral("Missing")));
    EXPECT_FALSE(defaults.object(QStringLiteral("Missing")).isValid());
    EXPECT_TRUE(defaults.persistentDomain().isEmpty());
    // Registering again adds and replaces registered values only.
    defaults.registerDefaults({{QStringLiteral("Count"), 6}});
    EXPECT_EQ(defaults.integer(QStringLiteral("Count")), 6);
    EXPECT_EQ(defaults.string(QStringLiteral("Name")), QStringLiteral("KG800"));
}

TEST(UserDefaults, TypedGetters)
{
    UserDefaults defaults(domainFor("Typed"));
    defaults.setObject(QStringLiteral("Str"), QStringLiteral("42abc"));
    defaults.setObject(QStringLiteral("Yes"), QStringLiteral("YES"));
    defaults.setObject(QStringLiteral("Num"), 3.75);
    defaults.setObject(QStringLiteral("Flag"), true);
    defaults.setObject(QStringLiteral("List"), QVariantList{1, 2});
    defaults.setObject(QStringLiteral("Map"), QVariantMap{{QStringLiteral("k"), QStringLiteral("v")}});
    EXPECT_EQ(defaults.integer(QStringLiteral("Str")), 42);
    EXPECT_EQ(defaults.string(QStringLiteral("Str")), QStringLiteral("42abc"));
    EXPECT_TRUE(defaults.boolValue(QStringLiteral("Yes")));
    EXPECT_TRUE(defaults.boolValue(QStringLiteral("Str")));
    EXPECT_EQ(defaults.integer(QStringLiteral("Num")), 3);
    EXPECT_DOUBLE_EQ(defaults.doubleValue(QStringLiteral("Num")), 3.75);
    EXPECT_EQ(defaults.string(QStringLiteral("Num")), QString());   // strings only
    EXPECT_TRUE(defaults.boolValue(QStringLiteral("Flag")));
    EXPECT_EQ(defaults.integer(QStringLiteral("Flag")), 1);
    EXPECT_EQ(defaults.array(QStringLiteral("List")).size(), 2);
    EXPECT_TRUE(defaults.array(QStringLiteral("Map")).isEmpty());
    EXPECT_EQ(defaults.dictionary(QStringLiteral("Map")).value("k"), QVariant(QStringLiteral("v")));
    EXPECT_TRUE(defaults.dictionary(QStringLiteral("List")).isEmpty());
    EXPECT_FALSE(defaults.boolValue(QStringLiteral("Missing")));
    EXPECT_EQ(defaults.integer(QStringLiteral("Missing")), 0);
    EXPECT_EQ(defaults.doubleValue(QStringLiteral("Missing")), 0.0);
}

TEST(UserDefaults, SynchronizePersistsAndReloadReads)
{
    const QDateTime when(QDate(2009, 3, 14), QTime(12, 0, 0), Qt::UTC);
    {
        UserDefaults defaults(domainFor("Persist"));
        EXPECT_TRUE(defaults.synchronize());                    // nothing changed: nothing written
        EXPECT_FALSE(QFile::exists(defaults.filePath()));
        defaults.registerDefaults({{QStringLiteral("Registered"), 1}});
        defaults.setObject(QStringLiteral("Name"), QStringLiteral("K\u00E9"));
        defaults.setObject(QStringLiteral("When"), when);
        defaults.setObject(QStringLiteral("Blob"), QByteArray("\x00\x01", 2));
        defaults.setObject(QStringLiteral("Devices"), QVariantList{QVariantMap{{QStringLiteral("Id"), 7}}});
        ASSERT_TRUE(defaults.synchronize());
        EXPECT_TRUE(QFile::exists(defaults.filePath()));
    }
    UserDefaults again(domainFor("Persist"));
    EXPECT_EQ(again.string(QStringLiteral("Name")), QStringLiteral("K\u00E9"));
    EXPECT_EQ(again.object(QStringLiteral("When")).toDateTime(), when);
    EXPECT_EQ(again.object(QStringLiteral("Blob")).toByteArray(), QByteArray("\x00\x01", 2));
    EXPECT_EQ(again.array(QStringLiteral("Devices")).value(0).toMap().value("Id").toLongLong(), 7);
    EXPECT_FALSE(again.contains(QStringLiteral("Registered")));   // registered values are not saved
    EXPECT_EQ(again.persistentDomain().size(), 4);

    // Unsaved changes go away on reload.
    again.setObject(QStringLiteral("Name"), QStringLiteral("unsaved"));
    again.reload();
    EXPECT_EQ(again.string(QStringLiteral("Name")), QStringLiteral("K\u00E9"));

    // A removal is saved too.
    again.remove(QStringLiteral("Blob"));
    ASSERT_TRUE(again.synchronize());
    again.reload();
    EXPECT_FALSE(again.contains(QStringLiteral("Blob")));
}

TEST(UserDefaults, ValuesThatAreNotPropertyListValuesAreRefused)
{
    UserDefaults defaults(domainFor("Refused"));
    defaults.setObject(QStringLiteral("Point"), QPoint(1, 2));
    EXPECT_FALSE(defaults.contains(QStringLiteral("Point")));
    EXPECT_TRUE(defaults.synchronize());
}

TEST(UserDefaults, UnreadableFileIsSetAsideAndReplaced)
{
    UserDefaults probe(domainFor("Broken"));
    const QString path = probe.filePath();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\"?><plist><dict><key>a</key>");
    file.close();
    UserDefaults defaults(domainFor("Broken"));
    EXPECT_TRUE(defaults.persistentDomain().isEmpty());
    EXPECT_TRUE(QFile::exists(path + QStringLiteral(".unreadable")));
    defaults.setObject(QStringLiteral("a"), 1);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(platform::plist::readFile(path).toMap().value("a").toLongLong(), 1);
}

TEST(UserDefaults, SynchronizeFailureIsReported)
{
    UserDefaults defaults(domainFor("Blocked"));
    // A folder where the file should go makes the write fail.
    ASSERT_TRUE(QDir().mkpath(defaults.filePath()));
    defaults.setObject(QStringLiteral("a"), 1);
    EXPECT_FALSE(defaults.synchronize());
    QDir(defaults.filePath()).removeRecursively();
    EXPECT_TRUE(defaults.synchronize());   // still dirty, so it writes now
    EXPECT_TRUE(QFileInfo(defaults.filePath()).isFile());
}
