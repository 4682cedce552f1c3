#include "platform/FileIO.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}
} // namespace

TEST(FileIO, WritesAndReplacesAtomically)
{
    const QString folder = testing_support::testHome() + QStringLiteral("/fileio/a/b");
    const QString path = folder + QStringLiteral("/file.txt");
    QString error;
    ASSERT_TRUE(platform::writeFileAtomically(path, "first", &error)) << error.toStdString();
    EXPECT_EQ(contents(path), QByteArray("first"));
    ASSERT_TRUE(platform::writeFileAtomically(path, "second, longer", &error)) << error.toStdString();
    EXPECT_EQ(contents(path), QByteArray("second, longer"));
    ASSERT_TRUE(platform::writeFileAtomically(path, QByteArray(), &error));
    EXPECT_EQ(contents(path), QByteArray());
    // No temporary file stays behind.
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{QStringLiteral("file.txt")});
}

TEST(FileIO, FailuresAreReportedAndLeaveTheTargetAlone)
{
    const QString folder = testing_support::testHome() + QStringLiteral("/fileio-fail");
    ASSERT_TRUE(QDir().mkpath(folder));
    QString error;
    // The target is a folder.
    EXPECT_FALSE(platform::writeFileAtomically(folder, "x", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(folder).isDir());
    // A parent is a file.
    const QString file = folder + QStringLiteral("/plain");
    ASSERT_TRUE(platform::writeFileAtomically(file, "keep"));
    error.clear();
    EXPECT_FALSE(platform::writeFileAtomically(file + QStringLiteral("/child"), "x", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(contents(file), QByteArray("keep"));
    error.clear();
    EXPECT_FALSE(platform::writeFileAtomically(QString(), "x", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(platform::writeFileAtomically(QString(), "x"));   // without an error pointer
}
