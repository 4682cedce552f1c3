#include "foundation/FileManagerAdds.h"

#include "platform/Paths.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/xattr.h>
#include <unistd.h>

using testing_support::readFile;
using testing_support::writeFile;

TEST(FileManagerAdds, GenerateTrashNameTakesTheFirstFreeNumber)
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("a.txt")));
    writeFile(dir.filePath(QStringLiteral("a (1).txt")));
    writeFile(dir.filePath(QStringLiteral("notes")));
    writeFile(dir.filePath(QStringLiteral("x.tar.gz")));

    struct Case {
        const char* name;
        const char* expected;
    } const cases[] = {
        { "free.txt", "free.txt" },
        { "a.txt", "a (2).txt" },
        { "notes", "notes (1)." },
        { "x.tar.gz", "x.tar (1).gz" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(generateTrashName(QString::fromUtf8(c.name), dir.path()), QString::fromUtf8(c.expected)) << c.name;
}

TEST(FileManagerAdds, FinderLabelLivesInAnExtendedAttribute)
{
    QTemporaryDir dir(QDir::homePath() + QStringLiteral("/label-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("f"));
    writeFile(path);
    EXPECT_EQ(getFinderLabelColorOfPath(path), 0);
    EXPECT_EQ(getFinderLabelColorOfPath(QString()), 0);
    EXPECT_EQ(getFinderLabelColorOfPath(dir.filePath(QStringLiteral("missing"))), 0);

    // Finder information with other flag bits and the has-been-initialised flag.
    QByteArray info(32, '\0');
    info[8] = char(0x81);
    info[9] = char(0x00);
    if (::setxattr(QFile::encodeName(path).constData(), fileattr::kFinderInfoAttribute, info.constData(), 32, 0) != 0)
        GTEST_SKIP() << "no extended attributes on this file system";

    ASSERT_TRUE(setFinderLabelColorOfPath(path, 5));
    EXPECT_EQ(getFinderLabelColorOfPath(path), 5);
    char stored[32];
    ASSERT_EQ(::getxattr(QFile::encodeName(path).constData(), fileattr::kFinderInfoAttribute, stored, 32), 32);
    EXPECT_EQ(uchar(stored[8]), 0x80) << "other flags kept, 0x0100 cleared";
    EXPECT_EQ(uchar(stored[9]), 5 << 1);

    ASSERT_TRUE(setFinderLabelColorOfPath(path, 0));
    EXPECT_EQ(getFinderLabelColorOfPath(path), 0);
}

TEST(FileManagerAdds, FileSizeIsSixtyFourBit)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sparse"));
    writeFile(path, QByteArray());
    const qint64 fiveGiB = qint64(5) << 30;
    ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), fiveGiB), 0);
    EXPECT_EQ(getFileSize(path), fiveGiB);
    EXPECT_EQ(getFileSize(dir.filePath(QStringLiteral("missing"))), 0);
    EXPECT_TRUE(getModificationDate(path).isValid());
    EXPECT_FALSE(getModificationDate(dir.filePath(QStringLiteral("missing"))).isValid());
}

TEST(FileManagerAdds, CopyIntoFolderWithAndWithoutOverwrite)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("src/photo.jpg"));
    writeFile(source, "new");
    const QString target = dir.filePath(QStringLiteral("dest/photo.jpg"));
    writeFile(target, "old");

    EXPECT_FALSE(copyToPath(source, dir.filePath(QStringLiteral("dest")), false));
    EXPECT_EQ(readFile(target), QByteArray("old"));
    EXPECT_TRUE(copyToPath(source, dir.filePath(QStringLiteral("dest")), true));
    EXPECT_EQ(readFile(target), QByteArray("new"));

    // Folders copy recursively; moves and removes follow.
    writeFile(dir.filePath(QStringLiteral("tree/a/b.txt")), "b");
    EXPECT_TRUE(doCopyItemAtPath(dir.filePath(QStringLiteral("tree")), dir.filePath(QStringLiteral("tree2"))));
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("tree2/a/b.txt"))), QByteArray("b"));
    EXPECT_TRUE(doMoveItemAtPath(dir.filePath(QStringLiteral("tree2")), dir.filePath(QStringLiteral("tree3"))));
    EXPECT_FALSE(doMoveItemAtPath(dir.filePath(QStringLiteral("tree3")), dir.filePath(QStringLiteral("tree"))));
    EXPECT_TRUE(doRemoveItemAtPath(dir.filePath(QStringLiteral("tree3"))));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("tree3"))));
}

TEST(FileManagerAdds, MoveToTrashNeedsTheTrashAndPicksAFreeName)
{
    const QString trash = platform::paths::dataHome() + QStringLiteral("/Trash");
    QDir(trash).removeRecursively();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.txt"));
    writeFile(path, "doomed");

    EXPECT_FALSE(moveFileToUserTrash(path)) << "a missing trash is not created";
    EXPECT_TRUE(QFileInfo::exists(path));

    writeFile(trash + QStringLiteral("/files/a.txt"), "earlier");
    EXPECT_TRUE(moveFileToUserTrash(path));
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(readFile(trash + QStringLiteral("/files/a (1).txt")), QByteArray("doomed"));
    const QByteArray info = readFile(trash + QStringLiteral("/info/a (1).txt.trashinfo"));
    EXPECT_TRUE(info.startsWith("[Trash Info]\nPath=")) << info.constData();
    QDir(trash).removeRecursively();
}

TEST(FileManagerAdds, ResolveAliasToDirectoryAnswersFoldersOnly)
{
    QTemporaryDir dir;
    const QString real = QFileInfo(dir.path()).canonicalFilePath();
    auto at = [&](const char* name) -> QString { return real + QLatin1Char('/') + QLatin1String(name); };
    auto link = [&](const char* target, const char* name) {
        ASSERT_EQ(::symlink(at(target).toLocal8Bit().constData(), at(name).toLocal8Bit().constData()), 0);
    };
    QDir().mkpath(at("folder"));
    QFile file(at("plain"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    link("folder", "toFolder");
    link("toFolder", "chain");
    link("plain", "toPlain");
    link("gone", "broken");
    ASSERT_EQ(::symlink("folder", at("relative").toLocal8Bit().constData()), 0);

    const struct {
        const char* name;
        QString expected;
    } cases[] = {
        {"toFolder", at("folder")}, {"chain", at("folder")}, {"relative", at("folder")}, {"folder", at("folder")},
        {"missing", at("missing")}, {"plain", QString()},    {"toPlain", QString()}, // no folder inside a file
        {"broken", QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resolveAliasToDirectory(at(c.name)), c.expected) << c.name;
    EXPECT_TRUE(resolveAliasToDirectory(QString()).isNull());
}

TEST(FileManagerAdds, ResolveAliasPathFollowsLinkChains)
{
    QTemporaryDir dir;
    const QString real = QFileInfo(dir.path()).canonicalFilePath();
    QDir().mkpath(real + QStringLiteral("/target/inner"));
    ASSERT_EQ(::symlink((real + QStringLiteral("/target")).toLocal8Bit().constData(),
                        (real + QStringLiteral("/hop1")).toLocal8Bit().constData()), 0);
    ASSERT_EQ(::symlink((real + QStringLiteral("/hop1")).toLocal8Bit().constData(),
                        (real + QStringLiteral("/hop2")).toLocal8Bit().constData()), 0);

    EXPECT_EQ(resolveAliasPath(real + QStringLiteral("/hop2/inner")), real + QStringLiteral("/target/inner"));
    EXPECT_EQ(resolveAliasPath(real + QStringLiteral("/target/inner")), real + QStringLiteral("/target/inner"));
    EXPECT_TRUE(resolveAliasPath(QString()).isNull());
    EXPECT_EQ(resolveAliasPath(QStringLiteral("~/x")), QDir::homePath() + QStringLiteral("/x"));
}
