#include "links/FTPFile.h"
#include "links/FTPFileOwner.h"
#include "links/ObexCommand.h"
#include "links/QVDeviceCallback.h"
#include "platform/RunLoop.h"

#include "TestFiles.h"
#include "VirtualTime.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A device and mirror for the records: answers come from fields.
struct FakeOwner : FTPFileOwner {
    bool history = false;
    bool pcSuite = false;
    int existStart = 0;        // non-zero: the test does not start
    bool answerExists = false; // the ended test's result
    bool neverEnds = false;    // the test never ends its callback
    QString mirrorRoot;
    QMap<long, QString> locations;
    std::shared_ptr<QVDeviceCallback> pending;

    bool isHistoryDevice() const override { return history; }
    bool isNokiaPCSuite() const override { return pcSuite; }
    int doesExist(const QString&, const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        if (existStart != 0)
            return existStart;
        pending = callback;
        if (!neverEnds)
            callback->finishWithErrorInMainThread(0, answerExists);
        return 0;
    }
    QString mirrorPath(const QString& phonePath) override { return mirrorRoot + phonePath; }
    QString previewPath(const QString& phonePath) override { return mirrorRoot + QStringLiteral("/p") + phonePath; }
    QString currentLocation(long id) override { return locations.value(id); }
    QString currentPreviewLocation(long id) override { return locations.value(-id); }
    long idForMirrorFile(const QString& localPath) override { return locations.key(localPath, 0); }
    QVariantMap finderInfoDictForPath(const QString& phonePath) override { return {{"Path", phonePath}}; }
};

QVariantMap fileAttributes(const QString& name, const QVariant& size, const QVariant& perm = {})
{
    QVariantMap map{{"name", name}, {"file-type", 0}};
    if (size.isValid())
        map.insert("size", size);
    if (perm.isValid())
        map.insert("user-perm", perm);
    return map;
}

} // namespace

TEST(FTPFileTest, ListingAttributesGiveKindPermissionsAndSize)
{
    FakeOwner owner;
    const FTPFile readOnly(fileAttributes("a.jpg", 2048, "R"), "/[0]/Pictures", &owner);
    EXPECT_TRUE(readOnly.isFile());
    EXPECT_TRUE(readOnly.isReadable());
    EXPECT_FALSE(readOnly.isWriteable());
    EXPECT_EQ(readOnly.fileSize(), 2048);
    EXPECT_EQ(readOnly.fullPath(), "/[0]/Pictures/a.jpg");
    EXPECT_EQ(readOnly.parentDir(), "/[0]/Pictures");
    EXPECT_EQ(readOnly.description(), "<FTPFile: File (   2 KB)> a.jpg (/[0]/Pictures)");

    const FTPFile small(fileAttributes("b.txt", 100), "/", &owner);
    EXPECT_EQ(small.fullPath(), "/b.txt");
    EXPECT_TRUE(small.isReadable() && small.isWriteable());
    EXPECT_EQ(small.description(), "<FTPFile: File (   1 KB)> b.txt (/)");

    const FTPFile huge(fileAttributes("movie.mp4", QStringLiteral("5368709120")), "/[1]", &owner);
    EXPECT_EQ(huge.fileSize(), Q_INT64_C(5368709120));

    const FTPFile noType(QVariantMap{{"name", "x"}, {"size", 10}}, "/", &owner);
    EXPECT_EQ(noType.fileType(), 0u);
    EXPECT_FALSE(noType.isFile() || noType.isDirectory());
    EXPECT_EQ(noType.fileSize(), -1);
}

TEST(FTPFileTest, FolderWithoutPermissionsIsPrivateOnlyOnAPCSuiteLink)
{
    FakeOwner owner;
    const QVariantMap folder{{"name", "System"}, {"file-type", 1}};
    EXPECT_EQ(FTPFile(folder, "/", &owner).fileType(), FTPFile::kDirectory);
    EXPECT_EQ(FTPFile(folder, "/", nullptr).fsType(), "Directory");

    owner.pcSuite = true;
    const FTPFile priv(folder, "/", &owner);
    EXPECT_EQ(priv.fileType(), FTPFile::kPrivateDirectory);
    EXPECT_FALSE(priv.isReadable() || priv.isWriteable());
    EXPECT_EQ(priv.fsType(), "Private directory");
    EXPECT_EQ(priv.fileSize(), -1);

    QVariantMap withPerm = folder;
    withPerm.insert("user-perm", "");
    const FTPFile plain(withPerm, "/", &owner);
    EXPECT_TRUE(plain.isDirectory());
    EXPECT_TRUE(plain.isReadable() && plain.isWriteable());
}

TEST(FTPFileTest, FileTypeTextComesFromTheTable)
{
    EXPECT_EQ(FTPFile(fileAttributes("A.JPG", 1), "/", nullptr).fsType(), "JPEG image");
    EXPECT_EQ(FTPFile(fileAttributes("notes.xyz", 1), "/", nullptr).fsType(), "Document");
    EXPECT_EQ(FTPFile(fileAttributes("README", 1), "/", nullptr).fsType(), "Document");
}

TEST(FTPFileTest, MirrorPathsOfALiveAndAHistoryDevice)
{
    QTemporaryDir dir;
    FakeOwner owner;
    owner.mirrorRoot = dir.path();
    FTPFile live(fileAttributes("a.jpg", 3), "/[0]", &owner, 4711);
    EXPECT_EQ(live.localPath(), dir.path() + "/[0]/a.jpg");
    EXPECT_FALSE(live.hasMirrorFile());
    QDir().mkpath(dir.path() + "/[0]");
    QFile(dir.path() + "/[0]/a.jpg").open(QIODevice::WriteOnly);
    EXPECT_TRUE(live.hasMirrorFile());
    EXPECT_EQ(live.localPreviewPath(), dir.path() + "/p/[0]/a.jpg");
    EXPECT_EQ(live.getFinderInfoDictForPath().value("Path"), "/[0]/a.jpg");

    owner.history = true;
    owner.locations = {{4711, "/m/Files/a.jpg"}, {-4711, "/m/Files/p_a.jpg"}};
    FTPFile archived(fileAttributes("a.jpg", 3), "/[0]", &owner, 4711);
    EXPECT_EQ(archived.localPath(), "/m/Files/a.jpg");
    EXPECT_EQ(archived.localPreviewPath(), "/m/Files/p_a.jpg");
    // The mirror forgets the file: the cached path is dropped.
    owner.locations.clear();
    EXPECT_EQ(archived.localPath(), QString());
    FTPFile noId(fileAttributes("b.jpg", 3), "/[0]", &owner);
    EXPECT_EQ(noId.localPath(), QString());
}

TEST(FTPFileTest, IsInArchiveAsksAHistoryDeviceWithABoundedWait)
{
    FakeOwner owner;
    QVariantMap attrs = fileAttributes("a.jpg", 3);
    EXPECT_FALSE(FTPFile(attrs, "/", &owner).isInArchive());
    attrs.insert("State", "Real");
    EXPECT_TRUE(FTPFile(attrs, "/", &owner).isInArchive());

    owner.history = true;
    owner.answerExists = true;
    EXPECT_TRUE(FTPFile(attrs, "/", &owner).isInArchive());
    owner.answerExists = false;
    EXPECT_FALSE(FTPFile(attrs, "/", &owner).isInArchive());
    owner.existStart = -21876;
    EXPECT_FALSE(FTPFile(attrs, "/", &owner).isInArchive());
    owner.existStart = 0;
    owner.neverEnds = true;
    EXPECT_FALSE(FTPFile(attrs, "/", &owner).isInArchive());
}

TEST(ObexCommandTest, ErrorCommandEndsItsCallbackAtOnce)
{
    int ends = 0;
    int status = 0;
    QVariant result = "unset";
    auto callback = QVDeviceCallback::commandObject(
        &ends,
        [&](QVDeviceCallback& c) {
            ++ends;
            status = c.returnStatus();
            result = c.resultObject();
        },
        nullptr);
    const auto command = ObexCommand::commandWithError(-43, callback);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(status, -43);
    EXPECT_FALSE(result.isValid());
    EXPECT_FALSE(command->isBusy());
    EXPECT_EQ(command->getStatus(), -43);
    EXPECT_EQ(command->description(), "<ObexCommand> Dummy");
}

TEST(ObexCommandTest, SilentStatusLeavesTheCallbackRunning)
{
    int ends = 0;
    auto callback = QVDeviceCallback::commandObject(
        &ends, [&](QVDeviceCallback&) { ++ends; }, nullptr);
    auto command = ObexCommand::commandWithData(ObexCommand::kCopyToMac, callback, "/[0]", "/[0]/a.jpg", {});
    EXPECT_TRUE(command->isBusy());
    EXPECT_EQ(command->reqPathLevel(), -1);
    command->setStatusAndResultSilent(0, "done", true);
    EXPECT_FALSE(command->isBusy());
    EXPECT_EQ(command->getResult(), "done");
    EXPECT_TRUE(callback->isBusy());
    EXPECT_EQ(ends, 0);
    command->setStatusAndResultSilent(-1702, {}, false);
    EXPECT_EQ(ends, 1);
}

TEST(ObexCommandTest, Descriptions)
{
    const struct {
        quint32 code;
        const char* text;
    } cases[] = {
        {ObexCommand::kOpen, "<ObexCommand>  Open Connection"},
        {ObexCommand::kClose, "<ObexCommand>  Close Connection"},
        {ObexCommand::kSetDirectory, "<ObexCommand>  Set Directory (p)"},
        {ObexCommand::kDirList, "<ObexCommand>  Dirlist (/w)"},
        {ObexCommand::kCopyToMobile, "<ObexCommand>  Copy to mobile (p)"},
        {ObexCommand::kCopyToMac, "<ObexCommand>  Copy to Mac (p)"},
        {ObexCommand::kDelete, "<ObexCommand>  Delete file (p)"},
        {ObexCommand::kNewFolder, "<ObexCommand>  New folder (p)"},
        {ObexCommand::kPush, "<ObexCommand>  Push file (p)"},
        {ObexCommand::kDummy, "<ObexCommand> Dummy"},
        {0x78787878, "<ObexCommand>  ????"},
    };
    for (const auto& c : cases) {
        const ObexCommand command(c.code, nullptr, "/w", "p", {});
        EXPECT_EQ(command.description(), QLatin1String(c.text)) << c.code;
    }
    EXPECT_EQ(ObexCommand::kCopyToMac, 0x63704D43u);
}
