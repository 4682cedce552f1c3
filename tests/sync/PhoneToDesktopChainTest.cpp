// The whole road of a contact between a simulated LG phone and a desktop
// program: the phonebook read through the organizer kit is merged into the
// phone's contacts list, the handler's trickle takes it to the hub, the
// desktop store writes the .vcf files khard lists; an edit and a deletion in
// the files come back through the hub's alert and the background run, go to
// the phone as the kit's write, and the phone then holds the new number and
// no longer the deleted entry.
#include "SyncEngineHandlerSupport.h"
#include "RecordingKitCallback.h"

#include "desktopstore/DesktopStore.h"
#include "kestrova/core/Kestrova.h"
#include "kestrova/vendors/VendorChains.h"
#include "syncmodel/QVSyncEngineElem.h"

#include "PhoneSession.h"
#include "PhoneSimulator.h"

#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>

using namespace handler_test;
using testing_support::runUntil;

namespace {

using ChainKitCallback = RecordingKitCallback;

QVariantMap chainKitContact(const char* first, const char* number)
{
    return {{QStringLiteral("firstname"), QLatin1String(first)},
            {QStringLiteral("phone"),
             QVariantList{QVariantMap{{QStringLiteral("value"), QLatin1String(number)},
                                      {QStringLiteral("type"), QStringLiteral("mobile")}}}}};
}

// The phonebook entry's first number, by first name; null when absent.
QString chainNumberOf(const QVariantMap& phonebook, const QString& first)
{
    for (const QVariant& entry : phonebook) {
        const QVariantMap map = entry.toMap();
        if (map.value(QStringLiteral("firstname")).toString() == first)
            return map.value(QStringLiteral("phone"))
                .toList()
                .value(0)
                .toMap()
                .value(QStringLiteral("value"))
                .toString();
    }
    return {};
}

class PhoneToDesktopChainTest : public HandlerFixture {
protected:
    void SetUp() override
    {
        HandlerFixture::SetUp();
        kestrova::vendors::registerVendorChains();
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QStringLiteral("lg")));
        sim->modifySession([](phonesim::PhoneSession& s) { s.motorola.lastSlot = 10; });
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        kit.setCallback(&callback);
        kit.setFilename(sim->slavePath());
        kit.setFamily(QStringLiteral("lg"));
    }
    void TearDown() override
    {
        kit.fullStop();
        kit.setCallback(nullptr);
        store.reset();
        HandlerFixture::TearDown();
    }
    std::optional<QVariantMap> read()
    {
        const qsizetype before = callback.reads.size();
        kit.getPhonebookEntries();
        if (!runUntil([&] { return callback.reads.size() > before; }, 300.0, 0.25))
            return std::nullopt;
        return callback.reads.last();
    }
    std::optional<QVariantMap> write(const QVariantMap& entries)
    {
        const qsizetype before = callback.writes.size();
        kit.writePhonebookEntries(entries);
        if (!runUntil([&] { return callback.writes.size() > before; }, 300.0, 0.25))
            return std::nullopt;
        return callback.writes.last();
    }
    void syncDesktop()
    {
        bool ended = false;
        bool ok = false;
        store->synchronize([&](bool finished) {
            ok = finished;
            ended = true;
        });
        ASSERT_TRUE(runUntil([&] { return ended; }));
        ASSERT_TRUE(ok);
    }
    QString root() const { return folder() + QStringLiteral("/vdir"); }
    QString cardOf(const QString& text) const
    {
        QDirIterator it(root() + QStringLiteral("/contacts"), {QStringLiteral("*.vcf")}, QDir::Files);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text.toUtf8()))
                return path;
        }
        return {};
    }
    int runKhard(const QString& khard, QByteArray* out)
    {
        const QString home = folder() + QStringLiteral("/home");
        QDir().mkpath(home);
        const QString config = folder() + QStringLiteral("/khard.conf");
        QFile file(config);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[addressbooks]\n[[phone]]\npath = %1/contacts\n[general]\ndefault_action = list\n")
                       .arg(root())
                       .toUtf8());
        file.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home);
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            environment.insert(QLatin1String(name), home + u'/' + QLatin1String(name));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(khard, {QStringLiteral("-c"), config, QStringLiteral("list")});
        process.closeWriteChannel();
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished(5000);
            return -1;
        }
        *out = process.readAll();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    testing_support::OutsideInputScope outside{0.05};
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    ChainKitCallback callback;
    Kestrova kit;
    std::unique_ptr<desktopstore::DesktopStore> store;
};

} // namespace

TEST_F(PhoneToDesktopChainTest, AContactGoesToTheDesktopAndItsEditAndDeletionComeBackToThePhone)
{
    // The phone holds Anna and Bert.
    ASSERT_TRUE(read().has_value());
    ASSERT_TRUE(write({{QStringLiteral("T-1"), chainKitContact("Anna", "0301234")},
                       {QStringLiteral("T-2"), chainKitContact("Bert", "040777")}})
                    .has_value());
    const auto first = read();
    ASSERT_TRUE(first.has_value());
    ASSERT_EQ(first->size(), 2);

    // The phone's read merged into its contacts list, and trickled to the hub.
    makeDevice("Protocol LG", environment(3, 0));
    handler()->enableSyncEngineNotifier();
    QVSyncElemList& contacts = lists->make(0);
    ASSERT_EQ(handler()->writeToSyncEngine(0), 0); // sync switched on: the first, slow session
    QVariantMap raw;
    ASSERT_TRUE(contacts.processMotorolaData(*first, false, raw).has_value());
    ASSERT_EQ(contacts.allCount(), 2);
    ASSERT_EQ(handler()->trickleSyncEngine(0), 0);
    ASSERT_TRUE(runEnds());

    // The desktop store writes the cards; khard lists them with their numbers.
    store = std::make_unique<desktopstore::DesktopStore>(manager(), root());
    syncDesktop();
    const QString anna = cardOf(QStringLiteral("FN:Anna"));
    const QString bert = cardOf(QStringLiteral("FN:Bert"));
    ASSERT_FALSE(anna.isEmpty());
    ASSERT_FALSE(bert.isEmpty());
    EXPECT_EQ(cardOf(QStringLiteral("0301234")), anna);
    EXPECT_EQ(cardOf(QStringLiteral("040777")), bert);
    const QString khard = QStandardPaths::findExecutable(QStringLiteral("khard"));
    if (!khard.isEmpty()) {
        QByteArray out;
        ASSERT_EQ(runKhard(khard, &out), 0) << out.constData();
        EXPECT_TRUE(out.contains("Anna")) << out.constData();
        EXPECT_TRUE(out.contains("Bert")) << out.constData();
        EXPECT_TRUE(out.contains("0301234")) << out.constData();
        EXPECT_TRUE(out.contains("040777")) << out.constData();
    }

    // On the desktop: Anna renamed and her number changed as an editor saves,
    // Bert's card deleted.
    QFile card(anna);
    ASSERT_TRUE(card.open(QIODevice::ReadOnly));
    QByteArray text = card.readAll();
    card.close();
    text.replace("N:;Anna;;;", "N:;Anne;;;");
    text.replace("FN:Anna", "FN:Anne");
    ASSERT_TRUE(text.contains("0301234"));
    text.replace("0301234", "0309876");
    {
        QFile temporary(anna + QStringLiteral(".tmp"));
        ASSERT_TRUE(temporary.open(QIODevice::WriteOnly));
        temporary.write(text);
    }
    ASSERT_TRUE(QFile::remove(anna));
    ASSERT_TRUE(QFile::rename(anna + QStringLiteral(".tmp"), anna));
    ASSERT_TRUE(QFile::remove(bert));
    syncDesktop();

    // The hub alerts the phone's client; its background run pulls both.
    const auto marked = [&] {
        int changed = 0;
        int deleted = 0;
        for (const auto& elem : contacts.allElems()) {
            changed += elem->isChanged() && !elem->isDeleted() ? 1 : 0;
            deleted += elem->isDeleted() ? 1 : 0;
        }
        return changed == 1 && deleted == 1;
    };
    ASSERT_TRUE(runUntil([&] { return marked() && !handler()->isBusy(); }, 30.0));

    // The write goes to the phone, which then holds Anne with her new number only.
    const auto entries = contacts.getMotorolaWriteData(raw);
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 2) << entries->keys().join(u' ').toStdString();
    const auto answers = write(*entries);
    ASSERT_TRUE(answers.has_value());
    contacts.finishMotorolaSession(*answers, callback.writeCodes.last(), raw);
    const auto after = read();
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->size(), 1);
    EXPECT_EQ(chainNumberOf(*after, QStringLiteral("Anne")), "0309876");
    EXPECT_TRUE(chainNumberOf(*after, QStringLiteral("Bert")).isNull());

    if (khard.isEmpty())
        GTEST_SKIP() << "khard is not installed (scripts/install-deps.sh installs it): its listing was not checked";
}
