#include "InMemoryFileTransfer.h"
#include "VirtualTime.h"

#include "../links/TestLinkOwner.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// The in-memory file transfer that file-job tests put in a device's FTP slot
// answers as the file jobs expect of a real one.
TEST(InMemoryFileTransferTest, OperationsEndWithTheStatusesTheFileJobsRead)
{
    TestLinkOwner owner{QStringLiteral("Bluetooth")};
    InMemoryFileTransfer ftp(owner, {{"type", "Bluetooth"}, {"channel", 7}});
    ASSERT_EQ(owner.registrations.size(), 1);
    ftp.addFolder("/Pictures");
    ftp.addFile("/Pictures/a.jpg", "jpeg");
    QTemporaryDir mac;
    QFile local(mac.filePath("b.txt"));
    ASSERT_TRUE(local.open(QIODevice::WriteOnly) && local.write("text") == 4);
    local.close();

    using Op = std::function<int(const std::shared_ptr<QVDeviceCallback>&)>;
    struct Case {
        const char* what;
        Op op;
        int status;
        QVariant result;
    };
    const Case cases[] = {
        {"list a missing folder",
         [&](auto cb) { return ftp.getDirectoryContentsAtPath("/Nope", cb); },
         FileTransferConnection::kMissingFolder,
         {}},
        {"folder in a missing folder",
         [&](auto cb) { return ftp.makeFolder("/Nope/x", cb); },
         FileTransferConnection::kMissingFolder,
         {}},
        {"copy a missing phone file",
         [&](auto cb) { return ftp.copyFromMobileToMac("/x", mac.path(), true, cb); },
         FileTransferConnection::kMissingSource,
         {}},
        {"copy to the Mac",
         [&](auto cb) { return ftp.copyFromMobileToMac("/Pictures/a.jpg", mac.path(), false, cb); },
         0,
         {}},
        {"again without overwriting",
         [&](auto cb) { return ftp.copyFromMobileToMac("/Pictures/a.jpg", mac.path(), false, cb); },
         InMemoryFileTransfer::kDuplicateName,
         {}},
        {"copy to the phone",
         [&](auto cb) { return ftp.copyFromMacToMobile(local.fileName(), "/Pictures", false, cb); },
         0,
         {}},
        {"exists", [&](auto cb) { return ftp.doesExist("/Pictures/b.txt", cb); }, 0, true},
        {"delete a missing file",
         [&](auto cb) { return ftp.deleteFile("/Pictures/c", cb); },
         FileTransferConnection::kMissingSource,
         {}},
        {"list", [&](auto cb) { return ftp.getDirectoryContentsAtPath("/Pictures", cb); }, 0,
         QStringList{"/Pictures/a.jpg 4", "/Pictures/b.txt 4"}},
    };
    for (const Case& c : cases) {
        auto callback = QVDeviceCallback::pollingObject();
        ASSERT_EQ(c.op(callback), 0) << c.what;
        ASSERT_TRUE(testing_support::runUntil([&] { return !callback->isBusy(); }, 1.0)) << c.what;
        EXPECT_EQ(callback->returnStatus(), c.status) << c.what;
        if (c.result.typeId() == QMetaType::QStringList) {
            QStringList listed;
            for (const auto& file : callback->resultObject().value<FTPFileList>())
                listed.append(QStringLiteral("%1 %2").arg(file->fullPath()).arg(file->fileSize()));
            EXPECT_EQ(listed, c.result.toStringList()) << c.what;
        } else if (c.result.isValid()) {
            EXPECT_EQ(callback->resultObject(), c.result) << c.what;
        }
    }
    QFile copied(mac.filePath("a.jpg"));
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), QByteArray("jpeg"));
}
