#include "BluetoothPhoneFixture.h"
#include "LinkTestSupport.h"
#include "TestLinkOwner.h"

#include "links/BTExternalFTPDelegate.h"
#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/LinkCodes.h"
#include "links/ObexFileTransferConnection.h"
#include "links/ObexPacket.h"
#include "links/QVDeviceCallback.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>

namespace {

using testing_support::runUntil;

QByteArray transferTestBytes(int size, int seed)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 13 + seed) & 0xFF);
    return data;
}

struct TransferEnd {
    std::optional<int> status;
    QVariant result;
    float maxProgress = 0;
    double bytes = 0;
    float stopAt = 1000;
    double stopAtBytes = 1e18;
    std::shared_ptr<QVDeviceCallback> callback()
    {
        return QVDeviceCallback::commandObject(
            &kCallbackSender,
            [this](QVDeviceCallback& c) {
                status = c.returnStatus();
                result = c.resultObject();
            },
            [this](QVDeviceCallback& c) {
                maxProgress = std::max(maxProgress, c.prozDone());
                bytes = std::max(bytes, c.bytesProcessed());
                return c.prozDone() >= stopAt || c.bytesProcessed() >= stopAtBytes;
            });
    }
    int wait(double seconds = 60)
    {
        EXPECT_TRUE(runUntil([&] { return status.has_value(); }, seconds));
        return status.value_or(1);
    }
};

QStringList entryNames(const QVariant& result)
{
    QStringList names;
    for (const auto& entry : result.value<FTPFileList>())
        names.append(entry->isDirectory() ? entry->fileName() + QLatin1Char('/') : entry->fileName());
    names.sort();
    return names;
}

enum class Way { Bluetooth, ATSwitch };

// The file-transfer connection to phonesim, over the phone's FTP channel
// (plain session) or over its dial-up channel switched into OBEX mode.
class ObexFileTransferTest : public BluetoothPhoneFixture, public ::testing::WithParamInterface<Way> {
protected:
    void TearDown() override
    {
        ftp.reset();
        freeParkedChannel();
        BluetoothPhoneFixture::TearDown();
    }
    void openFTP(const char* profile = "sonyericsson", int maxPacket = 0)
    {
        addPhone(profile);
        sim->modifyObexServer([&](phonesim::ObexServer& s) {
            if (maxPacket > 0)
                s.setMaxPacket(maxPacket);
            s.putFile(QStringLiteral("/Pictures/old.jpg"), transferTestBytes(3000, 1));
            s.putFile(QStringLiteral("/notes.txt"), "notes");
        });
        if (GetParam() == Way::Bluetooth) {
            ftp = links::makeObexFileTransferConnection(owner, {}, connectionDict(), nullptr);
        } else {
            ftp = std::make_unique<ObexFileTransferConnection>(nullptr, nullptr, QStringLiteral("Bluetooth"), [this] {
                return std::make_unique<CommonObexATSwitchTransportLayer>(nullptr, ObexSwitchSettings(),
                                                                          connectionDict(),
                                                                          QStringLiteral("Bluetooth"), false);
            });
        }
        ASSERT_TRUE(ftp);
        TransferEnd opened;
        ASSERT_EQ(ftp->openConnection(opened.callback()), 0);
        ASSERT_EQ(opened.wait(), 0);
        ASSERT_TRUE(ftp->hasConnection());
    }
    QVariant list(const QString& path, int* status)
    {
        TransferEnd listed;
        const int started = ftp->getDirectoryContentsAtPath(path, listed.callback());
        *status = started != 0 ? started : listed.wait();
        return listed.result;
    }

    TestLinkOwner owner{QStringLiteral("Bluetooth")};
    QTemporaryDir dir;
    std::unique_ptr<ObexFileTransferConnection> ftp;
};

} // namespace

TEST_P(ObexFileTransferTest, ListsCopiesBothWaysMakesFoldersAndDeletes)
{
    openFTP("sonyericsson", 1024);
    int status = 1;
    EXPECT_EQ(entryNames(list(QStringLiteral("/"), &status)), (QStringList{"Pictures/", "notes.txt"}));
    EXPECT_EQ(status, 0);
    const QVariant pictures = list(QStringLiteral("/Pictures"), &status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(pictures.value<FTPFileList>().size(), 1);
    EXPECT_EQ(pictures.value<FTPFileList>().first()->fullPath(), QStringLiteral("/Pictures/old.jpg"));
    EXPECT_EQ(pictures.value<FTPFileList>().first()->fileSize(), 3000);

    TransferEnd fetched;
    ASSERT_EQ(ftp->copyFromMobileToMac(QStringLiteral("/Pictures/old.jpg"), dir.path(), false, fetched.callback()), 0);
    ASSERT_EQ(fetched.wait(), 0);
    QFile copy(dir.filePath(QStringLiteral("old.jpg")));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), transferTestBytes(3000, 1));
    EXPECT_FLOAT_EQ(fetched.maxProgress, 100.0f);
    EXPECT_EQ(fetched.bytes, 3000);

    TransferEnd made;
    ASSERT_EQ(ftp->makeFolder(QStringLiteral("/Pictures/New"), made.callback()), 0);
    ASSERT_EQ(made.wait(), 0);
    const QString local = dir.filePath(QStringLiteral("up.bin"));
    {
        QFile up(local);
        ASSERT_TRUE(up.open(QIODevice::WriteOnly));
        up.write(transferTestBytes(5000, 2));
    }
    TransferEnd sent;
    ASSERT_EQ(ftp->copyFromMacToMobile(local, QStringLiteral("/Pictures/New"), false, sent.callback()), 0);
    ASSERT_EQ(sent.wait(), 0);
    EXPECT_EQ(sim->obexServer().files().value(QStringLiteral("/Pictures/New/up.bin")), transferTestBytes(5000, 2));
    EXPECT_FLOAT_EQ(sent.maxProgress, 100.0f);
    TransferEnd again;
    ASSERT_EQ(ftp->copyFromMacToMobile(local, QStringLiteral("/Pictures/New"), false, again.callback()), 0);
    EXPECT_EQ(again.wait(), ObexFileTransferConnection::kDuplicateName);

    TransferEnd exists;
    ASSERT_EQ(ftp->doesExist(QStringLiteral("/Pictures/New/up.bin"), exists.callback()), 0);
    ASSERT_EQ(exists.wait(), 0);
    EXPECT_TRUE(exists.result.toBool());

    TransferEnd deleted;
    ASSERT_EQ(ftp->deleteFile(QStringLiteral("/Pictures/New/up.bin"), deleted.callback()), 0);
    ASSERT_EQ(deleted.wait(), 0);
    EXPECT_FALSE(sim->obexServer().files().contains(QStringLiteral("/Pictures/New/up.bin")));
    TransferEnd gone;
    ASSERT_EQ(ftp->doesExist(QStringLiteral("/Pictures/New/up.bin"), gone.callback()), 0);
    ASSERT_EQ(gone.wait(), 0);
    EXPECT_FALSE(gone.result.toBool());

    TransferEnd closed;
    ASSERT_EQ(ftp->closeConnection(closed.callback()), 0);
    EXPECT_EQ(closed.wait(), 0);
    EXPECT_FALSE(ftp->hasConnection());
}

TEST_P(ObexFileTransferTest, MissingFoldersAndSourcesEndWithTheirStatus)
{
    openFTP();
    const QString local = dir.filePath(QStringLiteral("here.txt"));
    {
        QFile file(local);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("here");
    }
    struct Case {
        const char* what;
        std::function<int(const std::shared_ptr<QVDeviceCallback>&)> start;
        int status;
    } cases[] = {
        {"list a missing folder",
         [&](const auto& cb) { return ftp->getDirectoryContentsAtPath(QStringLiteral("/Nowhere/Deeper"), cb); },
         FileTransferConnection::kMissingFolder},
        {"copy a missing phone file",
         [&](const auto& cb) { return ftp->copyFromMobileToMac(QStringLiteral("/Pictures/none.jpg"), dir.path(), true, cb); },
         FileTransferConnection::kMissingSource},
        {"copy from a missing phone folder",
         [&](const auto& cb) { return ftp->copyFromMobileToMac(QStringLiteral("/Nowhere/a.jpg"), dir.path(), true, cb); },
         FileTransferConnection::kMissingFolder},
        {"copy a missing local file",
         [&](const auto& cb) { return ftp->copyFromMacToMobile(dir.filePath(QStringLiteral("none")), QStringLiteral("/Pictures"), true, cb); },
         FileTransferConnection::kMissingSource},
        {"copy into a missing phone folder",
         [&](const auto& cb) { return ftp->copyFromMacToMobile(local, QStringLiteral("/Nowhere"), true, cb); },
         FileTransferConnection::kMissingFolder},
        {"delete a missing file",
         [&](const auto& cb) { return ftp->deleteFile(QStringLiteral("/Pictures/none.jpg"), cb); },
         FileTransferConnection::kMissingSource},
        {"make a folder in a missing one",
         [&](const auto& cb) { return ftp->makeFolder(QStringLiteral("/Nowhere/New"), cb); },
         FileTransferConnection::kMissingFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TransferEnd end;
        const int started = c.start(end.callback());
        EXPECT_EQ(started != 0 ? started : end.wait(), c.status);
    }
    // The connection still serves after the failures.
    int status = 1;
    EXPECT_EQ(entryNames(list(QStringLiteral("/Pictures"), &status)), QStringList{"old.jpg"});
    EXPECT_EQ(status, 0);
}

TEST_P(ObexFileTransferTest, CancelledCopyLeavesNoPartialFileAndKeepsTheOldOne)
{
    openFTP("sonyericsson", 512);
    const QString target = dir.filePath(QStringLiteral("old.jpg"));
    for (const bool existing : {false, true}) {
        SCOPED_TRACE(existing);
        if (existing) {
            QFile old(target);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("kept");
        }
        TransferEnd fetched;
        // phonesim sends no Length: the copy stops by its bytes.
        fetched.stopAtBytes = 1000;
        ASSERT_EQ(ftp->copyFromMobileToMac(QStringLiteral("/Pictures/old.jpg"), dir.path(), true, fetched.callback()), 0);
        EXPECT_EQ(fetched.wait(), FileTransferConnection::kCancelled);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), existing ? QStringList{"old.jpg"} : QStringList{});
        if (existing) {
            QFile old(target);
            ASSERT_TRUE(old.open(QIODevice::ReadOnly));
            EXPECT_EQ(old.readAll(), "kept");
        }
    }
    // A cancelled copy to the phone ends the same way.
    const QString local = dir.filePath(QStringLiteral("up.bin"));
    {
        QFile up(local);
        ASSERT_TRUE(up.open(QIODevice::WriteOnly));
        up.write(transferTestBytes(4000, 3));
    }
    TransferEnd sent;
    sent.stopAt = 20;
    ASSERT_EQ(ftp->copyFromMacToMobile(local, QStringLiteral("/"), true, sent.callback()), 0);
    EXPECT_EQ(sent.wait(), FileTransferConnection::kCancelled);
    EXPECT_FALSE(sim->obexServer().files().contains(QStringLiteral("/up.bin")));
    int status = 1;
    list(QStringLiteral("/"), &status);
    EXPECT_EQ(status, 0);
}

TEST_P(ObexFileTransferTest, ListingsKeepOnlySoundEntriesAndRefuseMalformedOnes)
{
    openFTP();
    sim->modifyObexServer([](phonesim::ObexServer& s) {
        s.setListingOverride("<?xml version=\"1.0\"?><folder-listing version=\"1.0\"><parent-folder/>"
                             "<folder name=\"..\"/><folder name=\".\"/><file name=\"a/b\" size=\"3\"/>"
                             "<file name=\"\" size=\"1\"/><file name=\"good.txt\" size=\"many\"/>"
                             "<folder name=\"Music\"/></folder-listing>");
    });
    int status = 1;
    const QVariant listed = list(QStringLiteral("/"), &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(entryNames(listed), (QStringList{"Music/", "good.txt"}));
    for (const auto& entry : listed.value<FTPFileList>()) {
        if (entry->isFile()) {
            EXPECT_EQ(entry->fileSize(), -1);
        }
    }
    sim->modifyObexServer([](phonesim::ObexServer& s) {
        s.setListingOverride("<folder-listing><file name=\"x\"></folder-listing>");
    });
    list(QStringLiteral("/"), &status);
    EXPECT_EQ(status, obex::kErrBadResponse);
}

INSTANTIATE_TEST_SUITE_P(Ways, ObexFileTransferTest, ::testing::Values(Way::Bluetooth, Way::ATSwitch),
                         [](const auto& info) { return info.param == Way::Bluetooth ? "Bluetooth" : "ATSwitch"; });

class ObexFileTransferWalkTest : public BluetoothPhoneFixture { };

TEST_F(ObexFileTransferWalkTest, RootWalkOnThePCSuiteChannelEndsInPhone)
{
    addPhone("nokia");
    TestLinkOwner owner{QStringLiteral("Bluetooth")};
    QVariantMap dict = connectionDict();
    dict.insert(QStringLiteral("BT.DeviceChannel"), 14);
    auto ftp = links::makeObexFileTransferConnection(owner, {}, dict, nullptr);
    ASSERT_TRUE(ftp);
    EXPECT_TRUE(ftp->isNokiaPCSuite());
    ASSERT_EQ(owner.registrations.size(), 1);
    EXPECT_EQ(owner.registrations.first().first, QStringLiteral("FTP"));
    EXPECT_EQ(owner.registrations.first().second.value(QStringLiteral("channel")).toInt(), 14);
    TransferEnd opened;
    ASSERT_EQ(ftp->openConnection(opened.callback()), 0);
    ASSERT_EQ(opened.wait(), 0);

    {
        BTExternalFTPDelegate walk(ftp.get());
        EXPECT_EQ(walk.getIncomingPathForRootFolder(QStringLiteral("/Phone")), QStringLiteral("Phone"));
        EXPECT_EQ(walk.error(), 0);
        EXPECT_EQ(ftp->currentPath(), QStringLiteral("/Phone"));
    }
    BTExternalFTPDelegate walk(ftp.get());
    EXPECT_TRUE(walk.getIncomingPathForRootFolder(QString()).isNull());
    EXPECT_EQ(walk.error(), BTExternalFTPDelegate::kNoRequest);
}
