// The LG file browser through its kit against the simulated phone, over a
// pseudo-terminal and over RFCOMM (simulated Bluetooth).
#include "CoreTestSupport.h"
#include "SimulatedBluetoothPhone.h"
#include "VirtualTime.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/vendors/LgFileBrowserFrames.h"
#include "kestrova/vendors/LgFrames.h"
#include "kestrova/vendors/QVFileBrowserKitAsync.h"
#include "kestrova/vendors/SLTCommDeviceLgSmsExt.h"

#include "PhoneSimulator.h"

#include "LgTestBytes.h"
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using coretest::hex;
using phonesim::LgFileSystem;
using phonesim::LgPort;
using platform::BluetoothStack;
using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

const QString kPhone = QStringLiteral("00:1c:62:aa:bb:cd");

struct Callback : fileBrowserKitAsync {
    QList<int> connected, disconnected, copiedDown, copiedUp, deleted, made, aborted;
    QList<std::pair<std::optional<QVariantList>, int>> listings;
    QList<QVariantMap> downProgress, upProgress;
    QVFileBrowserKitAsync* abortOnProgress = nullptr;

    void fileBrowserKitConnected(QVFileBrowserKitAsync*, int c) override { connected.append(c); }
    void fileBrowserKitDisconnected(QVFileBrowserKitAsync*, int c) override { disconnected.append(c); }
    void fileBrowserKitDirectoryRead(QVFileBrowserKitAsync*, const std::optional<QVariantList>& d, int c) override
    {
        listings.append({d, c});
    }
    void fileBrowserKitCopyToMacFinished(QVFileBrowserKitAsync*, int c) override { copiedDown.append(c); }
    void fileBrowserKitCopyFromMacFinished(QVFileBrowserKitAsync*, int c) override { copiedUp.append(c); }
    void fileBrowserKitCopyToMacProgress(QVFileBrowserKitAsync*, const QVariantMap& d) override
    {
        downProgress.append(d);
        abortNow();
    }
    void fileBrowserKitCopyFromMacProgress(QVFileBrowserKitAsync*, const QVariantMap& d) override
    {
        upProgress.append(d);
        abortNow();
    }
    void fileBrowserKitDeleteItemFinished(QVFileBrowserKitAsync*, int c) override { deleted.append(c); }
    void fileBrowserKitCreateFolderFinished(QVFileBrowserKitAsync*, int c) override { made.append(c); }
    void fileBrowserKitAbortComplete(QVFileBrowserKitAsync*, int c) override { aborted.append(c); }
    void abortNow()
    {
        if (abortOnProgress)
            std::exchange(abortOnProgress, nullptr)->fileBrowserAbortAction();
    }
};

// The kit with its engine in reach.
struct TestKit : QVFileBrowserKitAsync {
    using QVSmsKitAsync::engine;
};

QByteArray noise(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& b : bytes)
        b = char(random.bounded(256));
    // Plenty of the bytes escaping expands.
    for (qsizetype i = 0; i < size; i += 7)
        bytes[i] = char(0xFF);
    return bytes;
}

// A request frame with its sequence byte cleared.
QByteArray request(quint8 service, quint8 code, const QByteArray& body)
{
    return kestrova::lg::frame(service, code, 0, body);
}

class LgFileBrowserKitTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        kit.reset();
        BluetoothStack::setShared(nullptr);
    }

    void makeKit(const char* family)
    {
        kit = std::make_unique<TestKit>();
        kit->setCallback(&cb);
        kit->setFamily(QLatin1String(family));
    }
    void overSerial(const char* profile, const char* family = nullptr)
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QLatin1String(profile)));
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        makeKit(family ? family : profile);
        kit->setFilename(sim->slavePath());
    }
    void overRfcomm(const char* profile)
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QLatin1String(profile)));
        shareAsBluetoothPhone(*sim, QLatin1String(profile), kPhone);
        makeKit(profile);
        kit->setAddressString(kPhone);
    }
    void connect()
    {
        kit->fileBrowserConnect();
        ASSERT_TRUE(runUntil([&] { return !cb.connected.isEmpty(); }, 60.0, 0.05));
        ASSERT_EQ(cb.connected, QList<int>{0});
    }
    // Waits for a list to reach count entries, and a moment more for strays.
    template <typename List>
    void await(const List& list, qsizetype count = 1)
    {
        EXPECT_TRUE(runUntil([&] { return list.size() >= count; }, 120.0, 0.05));
        runUntil([] { return false; }, 0.3, 0.05);
        EXPECT_EQ(list.size(), count);
    }
    QString phoneFile(const QString& path) const
    {
        QString root;
        sim->modifyLgFiles([&](LgFileSystem& fs) { root = fs.rootPath(); });
        return root + path;
    }
    void putOnPhone(const QString& path, const QByteArray& bytes)
    {
        QFile file(phoneFile(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray onPhone(const QString& path) const
    {
        QFile file(phoneFile(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QString local(const QString& name, const QByteArray& bytes = QByteArray())
    {
        const QString path = scratch.filePath(name);
        if (!bytes.isNull()) {
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        return path;
    }
    // What the phone's file system received.
    struct Received {
        QList<QByteArray> commands;
        QList<qsizetype> uploadPieceSizes;
    };
    Received files() const
    {
        Received received;
        sim->modifyLgFiles([&](LgFileSystem& fs) {
            received.commands = fs.commands;
            received.uploadPieceSizes = fs.uploadPieceSizes;
        });
        return received;
    }
    QList<QByteArray> commandsWith(quint8 code) const
    {
        QList<QByteArray> found;
        for (const QByteArray& c : files().commands)
            if (quint8(c[2]) == code)
                found.append(c);
        return found;
    }
    static QByteArray withoutSequence(QByteArray frame)
    {
        frame[3] = '\0';
        return frame;
    }

    OutsideInputScope outside;
    QTemporaryDir scratch;
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    std::unique_ptr<TestKit> kit;
    Callback cb;
};

} // namespace

TEST_F(LgFileBrowserKitTest, RequestFramesOnTheWire)
{
    overSerial("lg");
    connect();
    putOnPhone("/Pictures/a.jpg", "jpeg");
    putOnPhone("/a.jpg", "top");
    QDir(phoneFile("/Pictures")).mkdir("Old");
    const QByteArray pictures = utf16z("Pictures");
    const struct {
        const char* what;
        std::function<void()> run;
        const QList<int>* done;
        QByteArray frame;
    } cases[] = {
        {"delete a file", [&] { kit->fileBrowserDeleteItem("/Pictures/a.jpg", 0); }, &cb.deleted,
         request(0x20, 0x89, hex("09") + pictures + hex("06") + utf16z("a.jpg"))},
        {"delete a folder", [&] { kit->fileBrowserDeleteItem("/Pictures/Old", 1); }, &cb.deleted,
         request(0x20, 0x89, hex("0D") + utf16z("Pictures/Old") + hex("01 00"))},
        {"delete a top-level file", [&] { kit->fileBrowserDeleteItem("/a.jpg", 0); }, &cb.deleted,
         request(0x20, 0x89, hex("01 00 00 06") + utf16z("a.jpg"))},
        {"root listing", [&] { kit->getRootDirectory(); }, nullptr, request(0x20, 0x82, {})},
        {"folder listing", [&] { kit->getDirectoryAtPath("/Pictures"); }, nullptr,
         request(0x20, 0xA1, hex("09 00") + pictures)},
        {"make a folder", [&] { kit->fileBrowserMakeDir("/Pictures/New"); }, &cb.made,
         request(0x20, 0x8B, hex("0D") + utf16z("Pictures/New"))},
    };
    qsizetype listings = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const qsizetype before = c.done ? c.done->size() : listings;
        c.run();
        if (c.done) {
            ASSERT_TRUE(runUntil([&] { return c.done->size() > before; }, 30.0, 0.05));
            EXPECT_EQ(c.done->last(), 0);
        } else {
            ASSERT_TRUE(runUntil([&] { return cb.listings.size() > listings; }, 30.0, 0.05));
            EXPECT_EQ(cb.listings.last().second, 0);
            listings = cb.listings.size();
        }
        EXPECT_EQ(withoutSequence(files().commands.last()), c.frame);
    }
    EXPECT_EQ(cases[0].frame.size(), 40);
    EXPECT_EQ(cases[1].frame.size(), 37);
    EXPECT_EQ(cases[4].frame.size(), 12 + 2 * 8);
    EXPECT_EQ(onPhone("/Pictures/a.jpg"), QByteArray("<missing>"));
    EXPECT_FALSE(QFileInfo::exists(phoneFile("/Pictures/Old")));
    EXPECT_TRUE(QFileInfo(phoneFile("/Pictures/New")).isDir());

    // The open steps: "at$lgapp=1", the "easyman" initialisation, the open;
    // the sequence byte runs on from frame to frame.
    EXPECT_TRUE(sim->received().startsWith("at$lgapp=1\r"));
    const QList<QByteArray> frames = sim->lgFramesReceived();
    EXPECT_EQ(frames[0], hex("FF 7D DF 00 81 00 00 00 10 00") + QByteArray("easyman", 8) + hex("7E"));
    EXPECT_EQ(frames[1], hex("FF 7D DF 00 83 01 00 00 08 00 7E"));
    EXPECT_EQ(quint8(files().commands.last()[3]), frames.size() - 1);
}

TEST_F(LgFileBrowserKitTest, Lg2OpensWithObexAndConfirmsDownloadsWithAKeepAlive)
{
    overRfcomm("lg2");
    connect();
    const QList<QByteArray> frames = sim->lgFramesReceived();
    ASSERT_FALSE(frames.isEmpty());
    EXPECT_EQ(frames[0], hex("80 00 10 11 00 40 00 4A 00 09 4C 69 6E 75 78 00"));
    EXPECT_EQ(kit->engine().extension<SLTCommDeviceLgSmsExt>().maxObexPacketLength(), 0x4000);

    putOnPhone("/Sounds/r.mid", "MThd");
    kit->fileBrowserCopyRemoteFile("/Sounds/r.mid", local("r.mid"));
    await(cb.copiedDown);
    EXPECT_EQ(cb.copiedDown, QList<int>{0});
    EXPECT_EQ(sim->lgFramesReceived().last(), hex("FF 7D DF 00 A1") + char(frames.size()) + hex("00 00 08 00 7E"));
    EXPECT_TRUE(commandsWith(0x84).isEmpty());
}

TEST_F(LgFileBrowserKitTest, PlainAnswersSucceedOnlyWithTheirLength)
{
    overSerial("lg");
    connect();
    putOnPhone("/Pictures/a.jpg", "jpeg");
    const struct {
        const char* what;
        quint8 code;
        LgFileSystem::Fault fault;
        std::function<void()> run;
        const QList<int>* done;
    } cases[] = {
        {"delete answered with 12 bytes", 0x89, LgFileSystem::Fault::Overlong,
         [&] { kit->fileBrowserDeleteItem("/Pictures/a.jpg", 0); }, &cb.deleted},
        {"make-folder answered with 10 bytes", 0x8B, LgFileSystem::Fault::Short,
         [&] { kit->fileBrowserMakeDir("/Pictures/N"); }, &cb.made},
        {"item answered with 10 bytes", 0x84, LgFileSystem::Fault::Short,
         [&] { kit->fileBrowserCopyRemoteFile("/Pictures/a.jpg", local("a.jpg")); }, &cb.copiedDown},
        {"folder listing with a miscounted packet", 0xA1, LgFileSystem::Fault::Miscounted,
         [&] { kit->getDirectoryAtPath("/Pictures"); }, nullptr},
        {"root listing too short for its length", 0x82, LgFileSystem::Fault::Short,
         [&] { kit->getRootDirectory(); }, nullptr},
        {"download with a miscounted packet", 0x86, LgFileSystem::Fault::Miscounted,
         [&] { kit->fileBrowserCopyRemoteFile("/Pictures/a.jpg", local("b.jpg")); }, &cb.copiedDown},
        {"download answered with 10 bytes", 0x86, LgFileSystem::Fault::Short,
         [&] { kit->fileBrowserCopyRemoteFile("/Pictures/a.jpg", local("c.jpg")); }, &cb.copiedDown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim->modifyLgFiles([&](LgFileSystem& fs) { fs.faults.insert(c.code, c.fault); });
        const qsizetype before = c.done ? c.done->size() : cb.listings.size();
        c.run();
        if (c.done) {
            ASSERT_TRUE(runUntil([&] { return c.done->size() > before; }, 30.0, 0.05));
            EXPECT_EQ(c.done->last(), -6);
        } else {
            ASSERT_TRUE(runUntil([&] { return cb.listings.size() > before; }, 30.0, 0.05));
            EXPECT_EQ(cb.listings.last().second, -6);
            EXPECT_FALSE(cb.listings.last().first);
        }
    }
    EXPECT_FALSE(QFileInfo::exists(local("a.jpg")) && QFileInfo::exists(local("b.jpg")));
    // Over-long path parts go nowhere.
    const qsizetype sent = files().commands.size();
    kit->fileBrowserMakeDir(QLatin1Char('/') + QString(255, QLatin1Char('x')));
    kit->fileBrowserDeleteItem(QStringLiteral("/Pictures/") + QString(300, QLatin1Char('y')), 0);
    await(cb.made, 2);
    await(cb.deleted, 2);
    EXPECT_EQ(cb.made.last(), -6);
    EXPECT_EQ(cb.deleted.last(), -6);
    EXPECT_EQ(files().commands.size(), sent);
}

TEST_F(LgFileBrowserKitTest, ListingsInPiecesWithoutHiddenItems)
{
    overSerial("lg3");
    connect();
    putOnPhone("/Pictures/a.jpg", "12345");
    putOnPhone("/Pictures/.thumbs", "x");
    QDir(phoneFile("/Pictures")).mkdir("Old");
    QDir(phoneFile("/Pictures")).mkdir("sys");
    sim->modifyLgFiles([](LgFileSystem& fs) {
        fs.listingPieces = 3;
        fs.hidden = {"Pictures/.thumbs", "Pictures/sys"};
        fs.listingOverrides.insert("Sounds", "<dir><file name=\"nodate\" size=\"1\"/>"
                                             "<file name=\"nosize\" created=\"20090101T000000\"/></dir>");
    });
    kit->getDirectoryAtPath("/Pictures");
    await(cb.listings);
    ASSERT_TRUE(cb.listings[0].first);
    const QVariantList& listing = *cb.listings[0].first;
    ASSERT_EQ(listing.size(), 2);
    EXPECT_EQ(listing[0].toMap().value("name"), "a.jpg");
    EXPECT_EQ(listing[0].toMap().value("size"), "5");
    EXPECT_EQ(listing[0].toMap().value("file-type"), 0);
    EXPECT_EQ(listing[1].toMap().value("name"), "Old");
    EXPECT_EQ(listing[1].toMap().value("file-type"), 1);

    kit->getDirectoryAtPath("/Sounds");
    await(cb.listings, 2);
    EXPECT_EQ(cb.listings[1].first,
              (QVariantList{QVariantMap(), QVariantMap{{"modified", "20090101T000000"}, {"name", "nosize"}}}));

    kit->getRootDirectory();
    await(cb.listings, 3);
    QStringList names;
    for (const QVariant& entry : cb.listings[2].first.value_or(QVariantList()))
        names.append(entry.toMap().value("name").toString());
    EXPECT_EQ(names, (QStringList{"Pictures", "Sounds", "Videos"}));
}

TEST_F(LgFileBrowserKitTest, DownloadsPacketByPacket)
{
    overSerial("lg");
    connect();
    const QByteArray small = noise(300, 1);
    const QByteArray large = noise(3 * 0x2000 + 77, 2);
    putOnPhone("/Pictures/small.jpg", small);
    putOnPhone("/Pictures/large.jpg", large);
    putOnPhone("/Pictures/empty.jpg", QByteArray());

    // One packet: one request, the data part only.
    kit->fileBrowserCopyRemoteFile("/Pictures/small.jpg", local("small.jpg"));
    await(cb.copiedDown);
    EXPECT_EQ(cb.copiedDown, QList<int>{0});
    QFile smallCopy(local("small.jpg"));
    ASSERT_TRUE(smallCopy.open(QIODevice::ReadOnly));
    EXPECT_EQ(smallCopy.readAll(), small);
    EXPECT_EQ(commandsWith(0x86).size(), 1);
    EXPECT_TRUE(commandsWith(0xA0).isEmpty());
    // The confirming item request names the phone's file.
    EXPECT_EQ(withoutSequence(commandsWith(0x84).last()),
              request(0x20, 0x84, hex("09") + utf16z("Pictures") + hex("0A") + utf16z("small.jpg")));

    // Packets in pieces, and packets sent whole: both run to the file's end.
    for (const int pieceBytes : {600, 0}) {
        SCOPED_TRACE(pieceBytes);
        sim->modifyLgFiles([&](LgFileSystem& fs) { fs.downloadPieceBytes = pieceBytes; });
        const qsizetype before = cb.copiedDown.size();
        const QString target = local(QStringLiteral("large%1.jpg").arg(pieceBytes));
        kit->fileBrowserCopyRemoteFile("/Pictures/large.jpg", target);
        await(cb.copiedDown, before + 1);
        EXPECT_EQ(cb.copiedDown.last(), 0);
        QFile copy(target);
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_EQ(copy.readAll(), large);
    }
    const QList<QByteArray> next = commandsWith(0xA0);
    ASSERT_EQ(next.size(), 6);
    // The next packet's request: the file's length, the wanted start, the part.
    const QByteArray blocks = hex("09") + utf16z("Pictures") + hex("0A") + utf16z("large.jpg");
    EXPECT_EQ(withoutSequence(next[0]),
              request(0x20, 0xA0, blocks + kestrova::lg::transferBlock(quint32(large.size()), 0x2000, 1)));
    ASSERT_FALSE(cb.downProgress.isEmpty());
    EXPECT_EQ(cb.downProgress.first().value("size").toLongLong(), large.size());
    EXPECT_LE(cb.downProgress.last().value("remaining").toLongLong(), large.size());

    kit->fileBrowserCopyRemoteFile("/Pictures/empty.jpg", local("empty.jpg"));
    await(cb.copiedDown, 4);
    EXPECT_EQ(cb.copiedDown.last(), 0);
    EXPECT_EQ(QFileInfo(local("empty.jpg")).size(), 0);
}

TEST_F(LgFileBrowserKitTest, DownloadFailuresLeaveTheLocalFileAlone)
{
    overSerial("lg");
    connect();
    putOnPhone("/Pictures/a.jpg", noise(3 * 0x2000, 3));
    const QString target = local("a.jpg", "old contents");
    // A phone that goes silent midway, a missing file, a folder in the way.
    sim->modifyLgFiles([](LgFileSystem& fs) { fs.faults.insert(0xA0, LgFileSystem::Fault::Miscounted); });
    kit->fileBrowserCopyRemoteFile("/Pictures/a.jpg", target);
    await(cb.copiedDown, 1);
    kit->fileBrowserCopyRemoteFile("/Pictures/none.jpg", target);
    await(cb.copiedDown, 2);
    EXPECT_EQ(cb.copiedDown, (QList<int>{-6, -6}));
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("old contents"));

    // The write fails: the copy ends with -6 instead of going quiet.
    kit->fileBrowserCopyRemoteFile("/Pictures/a.jpg", scratch.filePath("no/such/folder/a.jpg"));
    await(cb.copiedDown, 3);
    kit->fileBrowserCopyRemoteFile("/Pictures/a.jpg", QString());
    await(cb.copiedDown, 4);
    EXPECT_EQ(cb.copiedDown.mid(2), (QList<int>{-6, -6}));
}

TEST_F(LgFileBrowserKitTest, UploadsInPacketsAndPieces)
{
    const struct {
        const char* profile;
        int piece;
        int packet;
    } cases[] = {{"lg", 635, 0x3000}, {"lg3", 3895, 7495}, {"lg2", 3895, 7495}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profile);
        cb = Callback();
        overSerial(c.profile);
        connect();
        const QByteArray bytes = noise(40000, 4);
        kit->fileBrowserCopyFile(local("up.bin", bytes), "/Videos/up.bin");
        await(cb.copiedUp);
        EXPECT_EQ(cb.copiedUp, QList<int>{0});
        EXPECT_EQ(onPhone("/Videos/up.bin"), bytes);

        const Received fs = files();
        QList<QByteArray> packets;
        for (const QByteArray& command : fs.commands)
            if (quint8(command[2]) == 0x05 || quint8(command[2]) == 0x85)
                packets.append(command);
        ASSERT_GE(packets.size(), 2);
        qint64 start = 0;
        for (qsizetype i = 0; i < packets.size(); ++i) {
            const QByteArray& p = packets[i];
            EXPECT_EQ(quint8(p[2]), i + 1 == packets.size() ? 0x85 : 0x05);
            EXPECT_LE(p.size(), c.packet);
            const auto fields = kestrova::lg::readFilePacketFields(char(0xFF) + p.left(8) + QByteArray(1, '\0') + p.mid(8));
            ASSERT_TRUE(fields);
            EXPECT_EQ(fields->part, i + 1);
            EXPECT_EQ(fields->startByte, start);
            EXPECT_EQ(fields->fileLength, quint32(bytes.size()));
            start += p.size() - (fields->headerLength - 2);
        }
        EXPECT_EQ(start, bytes.size());
        EXPECT_EQ(*std::max_element(fs.uploadPieceSizes.begin(), fs.uploadPieceSizes.end()), c.piece);
        // The phone confirms the file under the kit's own family.
        EXPECT_EQ(kit->engine().family(), QLatin1String(c.profile));
        EXPECT_EQ(kit->engine().maxTransportPacketSize(), QLatin1String(c.profile) == "lg3" ? 3897 : 637);
        EXPECT_EQ(quint8(fs.commands.last()[2]), 0x84);
        ASSERT_FALSE(cb.upProgress.isEmpty());
        EXPECT_EQ(cb.upProgress.last().value("size").toLongLong(), bytes.size());
        kit.reset();
        sim.reset();
    }
}

TEST_F(LgFileBrowserKitTest, EmptyUploadAndBadUploadAnswers)
{
    overSerial("lg");
    connect();
    kit->fileBrowserCopyFile(local("empty.bin", ""), "/Videos/empty.bin");
    await(cb.copiedUp);
    EXPECT_EQ(cb.copiedUp, QList<int>{0});
    const QList<QByteArray> packets = commandsWith(0x85);
    ASSERT_EQ(packets.size(), 1);
    EXPECT_EQ(withoutSequence(packets[0]),
              request(0x20, 0x85, hex("07") + utf16z("Videos") + hex("0A") + utf16z("empty.bin")
                                      + kestrova::lg::transferBlock(0, 0, 1)));
    EXPECT_TRUE(commandsWith(0x05).isEmpty());
    EXPECT_EQ(onPhone("/Videos/empty.bin"), QByteArray());

    // No local file; a next-packet request cut short, one longer than it
    // states, one that states less than it holds.
    kit->fileBrowserCopyFile(scratch.filePath("missing.bin"), "/Videos/m.bin");
    await(cb.copiedUp, 2);
    // A FIFO in place of the local file fails at once, without waiting for a writer.
    const QString fifo = scratch.filePath("fifo.bin");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    kit->fileBrowserCopyFile(fifo, "/Videos/f.bin");
    await(cb.copiedUp, 3);
    qsizetype finished = 3;
    for (const auto fault :
         {LgFileSystem::Fault::Short, LgFileSystem::Fault::Overlong, LgFileSystem::Fault::Miscounted}) {
        sim->modifyLgFiles([&](LgFileSystem& fs) { fs.faults.insert(0x05, fault); });
        kit->fileBrowserCopyFile(local("big.bin", noise(20000, 5)), "/Videos/big.bin");
        await(cb.copiedUp, ++finished);
    }
    EXPECT_EQ(cb.copiedUp.mid(1), (QList<int>{-6, -6, -6, -6, -6}));
}

TEST_F(LgFileBrowserKitTest, AbortsStopAfterThePacketInFlight)
{
    for (const char* profile : {"lg", "lg2"}) {
        SCOPED_TRACE(profile);
        cb = Callback();
        overSerial(profile);
        connect();
        putOnPhone("/Pictures/big.jpg", noise(5 * 0x2000, 6));
        cb.abortOnProgress = kit.get();
        kit->fileBrowserCopyRemoteFile("/Pictures/big.jpg", local("big.jpg"));
        await(cb.aborted);
        EXPECT_EQ(cb.aborted, QList<int>{0});
        EXPECT_TRUE(cb.copiedDown.isEmpty());
        // The first packet finished; no other was asked for.
        EXPECT_EQ(commandsWith(0x86).size(), 1);
        EXPECT_TRUE(commandsWith(0xA0).isEmpty());
        EXPECT_FALSE(QFileInfo::exists(local("big.jpg")));

        cb.abortOnProgress = kit.get();
        kit->fileBrowserCopyFile(local("up.bin", noise(5 * 0x3000, 7)), "/Videos/up.bin");
        await(cb.aborted, 2);
        EXPECT_EQ(cb.aborted.last(), 0);
        EXPECT_TRUE(cb.copiedUp.isEmpty());
        EXPECT_EQ(commandsWith(0x05).size(), 1);
        EXPECT_TRUE(commandsWith(0x85).isEmpty());
        // After the abort the item request confirms under the kit's family.
        EXPECT_EQ(kit->engine().family(), QLatin1String(profile));
        EXPECT_EQ(quint8(files().commands.last()[2]), 0x84);
        kit.reset();
        sim.reset();
    }
}

TEST_F(LgFileBrowserKitTest, BusyPortStopsTheEngine)
{
    for (const auto& [profile, busy] : {std::pair{"lg", LgPort::Busy::Frame}, std::pair{"lg3", LgPort::Busy::Short},
                                        std::pair{"lg2", LgPort::Busy::Short}}) {
        SCOPED_TRACE(profile);
        cb = Callback();
        overSerial(profile);
        sim->setLgPortBusy(busy);
        kit->fileBrowserConnect();
        await(cb.connected);
        EXPECT_EQ(cb.connected, QList<int>{-7});
        EXPECT_FALSE(kit->isConnected());
        EXPECT_FALSE(kit->isBrowsing());
        EXPECT_TRUE(kit->engine().commandQueue().commands().isEmpty());
        kit.reset();
        sim.reset();
    }
}

TEST_F(LgFileBrowserKitTest, OnlyTheKitsOwnLinkDropEndsTheSession)
{
    overSerial("lg");
    connect();
    // A second kit on another phone loses its link: nothing here.
    auto otherSim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named("lg"));
    ASSERT_TRUE(otherSim->start());
    Callback otherCb;
    TestKit other;
    other.setCallback(&otherCb);
    other.setFamily("lg");
    other.setFilename(otherSim->slavePath());
    other.fileBrowserConnect();
    ASSERT_TRUE(runUntil([&] { return !otherCb.connected.isEmpty(); }, 30.0, 0.05));
    otherSim->modifyLgFiles([](LgFileSystem& fs) { fs.faults.insert(0x82, LgFileSystem::Fault::Drop); });
    other.getRootDirectory();
    ASSERT_TRUE(runUntil([&] { return !otherCb.disconnected.isEmpty(); }, 30.0, 0.05));
    EXPECT_EQ(otherCb.disconnected, QList<int>{-21855});
    EXPECT_EQ(otherCb.listings.value(0).second, -6);
    EXPECT_TRUE(cb.disconnected.isEmpty());

    // This kit's own drop: once.
    sim->modifyLgFiles([](LgFileSystem& fs) { fs.faults.insert(0x82, LgFileSystem::Fault::Drop); });
    kit->getRootDirectory();
    await(cb.disconnected);
    EXPECT_EQ(cb.disconnected, QList<int>{-21855});
    EXPECT_FALSE(kit->isBrowsing());
    runUntil([] { return false; }, 1.0, 0.05);
    EXPECT_EQ(cb.disconnected.size(), 1);
}

TEST_F(LgFileBrowserKitTest, EndToEndPerFamilyAndLink)
{
    const struct {
        const char* profile;
        bool rfcomm;
    } cases[] = {{"lg", false}, {"lg2", false}, {"lg3", false}, {"lg", true}, {"lg2", true}, {"lg3", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.profile) + (c.rfcomm ? " rfcomm" : " tty"));
        cb = Callback();
        if (c.rfcomm)
            overRfcomm(c.profile);
        else
            overSerial(c.profile);
        sim->modifyLgFiles([](LgFileSystem& fs) { fs.listingPieces = 3; });
        const QByteArray down = noise(100 * 1024, 8);
        const QByteArray up = noise(100 * 1024, 9);
        putOnPhone("/Pictures/down.jpg", down);
        connect();

        kit->getRootDirectory();
        await(cb.listings);
        EXPECT_EQ(cb.listings[0].first.value_or(QVariantList()).size(), 3);
        kit->getDirectoryAtPath("/Pictures");
        await(cb.listings, 2);
        EXPECT_EQ(cb.listings[1].first.value_or(QVariantList()).value(0).toMap().value("name"), "down.jpg");

        kit->fileBrowserCopyRemoteFile("/Pictures/down.jpg", local("down.jpg"));
        await(cb.copiedDown);
        QFile copy(local("down.jpg"));
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_EQ(copy.readAll(), down);

        kit->fileBrowserCopyFile(local("up.jpg", up), "/Pictures/up.jpg");
        await(cb.copiedUp);
        EXPECT_EQ(onPhone("/Pictures/up.jpg"), up);

        kit->fileBrowserMakeDir("/Videos/Holiday");
        await(cb.made);
        EXPECT_TRUE(QFileInfo(phoneFile("/Videos/Holiday")).isDir());
        kit->fileBrowserDeleteItem("/Videos/Holiday", 1);
        await(cb.deleted);
        EXPECT_FALSE(QFileInfo::exists(phoneFile("/Videos/Holiday")));

        cb.abortOnProgress = kit.get();
        kit->fileBrowserCopyFile(local("up.jpg"), "/Pictures/again.jpg");
        await(cb.aborted);
        EXPECT_EQ(cb.copiedDown, QList<int>{0});
        EXPECT_EQ(cb.copiedUp, QList<int>{0});
        EXPECT_EQ(cb.made, QList<int>{0});
        EXPECT_EQ(cb.deleted, QList<int>{0});
        EXPECT_EQ(cb.aborted, QList<int>{0});

        kit->fileBrowserDisconnect();
        await(cb.disconnected);
        EXPECT_EQ(cb.disconnected, QList<int>{0});
        kit.reset();
        sim.reset();
        BluetoothStack::setShared(nullptr);
    }
}

TEST_F(LgFileBrowserKitTest, ASilentPhoneFailsTheRequestAndClosesTheLink)
{
    overSerial("lg");
    connect();
    sim->modifyLgFiles([](LgFileSystem& fs) { fs.faults.insert(0xA1, LgFileSystem::Fault::Silent); });
    kit->getDirectoryAtPath("/Pictures");
    await(cb.listings);
    EXPECT_FALSE(cb.listings[0].first);
    EXPECT_EQ(cb.listings[0].second, -6);
    // The time-out closes the link: the session ends once.
    await(cb.disconnected);
    EXPECT_EQ(cb.disconnected, QList<int>{-21855});
    EXPECT_FALSE(kit->isBrowsing());
}
