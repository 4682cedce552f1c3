// The IrMC session as the program runs it on a Gigaset: the device object's
// "SyncML/IrMC" connection (the IrMC connection on the AT-switch transport
// that parks the phone's serial channel between sessions) over phonesim on a
// pseudo-terminal, with a contacts list merging what it reads. Virtual time:
// each pass of a wait lets the phone's answers in for a moment of real time.
#include "IrmcSessionTestSupport.h"

#include "PhoneProfile.h"
#include "PhoneSimulator.h"

#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/SerialATChannel.h"
#include "phone/MFDevice.h"
#include "platform/UsbRegistrySimulated.h"

#include <QSet>

namespace {

class IrmcGigasetPtyTest : public irmctest::IrmcSessionTest {
protected:
    static constexpr int kIrmcPtyVendor = 0x0681;
    static constexpr int kIrmcPtyProduct = 0x0022;
    static constexpr const char* kIrmcPtySerial = "351234005678902";

    void SetUp() override
    {
        IrmcSessionTest::SetUp();
        registry = std::make_shared<platform::UsbRegistrySimulated>();
        platform::UsbRegistry::setShared(registry);
    }
    void TearDown() override
    {
        session.reset();
        link.reset();
        phoneDevice.reset();
        IrmcSessionTest::TearDown();
        sim.reset();
        platform::UsbRegistry::setShared(nullptr);
    }

    // phonesim's Gigaset with the fixture's IrMC phonebook on a pty, plugged
    // in as a USB modem, and the device object of a "Protocol Gigaset" phone.
    void attachGigaset()
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QStringLiteral("gigaset")));
        const auto irmc = phone;
        sim->modifyObexServer([irmc](phonesim::ObexServer& obex) { obex.setIrmcPhone(irmc); });
        // A fast serial line: the bytes take their time without slowing the test.
        sim->setLineRate(460800);
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        platform::UsbDevice modem;
        modem.location = QStringLiteral("1-2");
        modem.vendorId = kIrmcPtyVendor;
        modem.productId = kIrmcPtyProduct;
        modem.vendorName = QStringLiteral("Gigaset");
        modem.productName = QStringLiteral("Gigaset USB Modem");
        modem.serialNumber = QString::fromLatin1(kIrmcPtySerial);
        modem.ttyPaths = {sim->slavePath()};
        registry->addInterface(registry->addDevice(modem), 1, platform::UsbRegistry::kClassCdcData);

        auto dict = std::make_shared<QVariantMap>(QVariantMap{{"USB.VendorID", kIrmcPtyVendor},
                                                              {"USB.ProductID", kIrmcPtyProduct},
                                                              {"Common.SerialNo", kIrmcPtySerial}});
        const QVariantMap row{{"Dorvanti.Identification", "Gigaset+SL"},
                              {"Dorvanti.Manufacturer", "Gigaset"},
                              {"Dorvanti.Model", "SL"},
                              {"Dorvanti.SyncMLProtocol", "Protocol Gigaset"}};
        phoneDevice = std::make_unique<MFDevice>(QString::fromLatin1(MFDevice::kUSBSerial), dict, row, nullptr,
                                                 MFDevice::Makers());
    }

    static bool waitFor(const std::function<bool()>& predicate, double seconds = 60.0)
    {
        return testing_support::runUntil(predicate, seconds, 0.05);
    }

    // Opens the device's IrMC service the way a job asks for it; its status.
    int openService()
    {
        auto opened = QVDeviceCallback::pollingObject();
        EXPECT_EQ(phoneDevice->requestService(QString::fromLatin1(MFDevice::kServiceSyncML), opened),
                  MFDevice::kServiceOpening);
        EXPECT_TRUE(waitFor([&] { return !opened->isBusy(); }));
        return opened->returnStatus();
    }
    int closeService()
    {
        auto closed = QVDeviceCallback::pollingObject();
        EXPECT_EQ(phoneDevice->requestConnectionClose(QString::fromLatin1(MFDevice::kServiceSyncML), closed), 0);
        EXPECT_TRUE(waitFor([&] { return !closed->isBusy(); }));
        return closed->returnStatus();
    }

    // A session on the device's IrMC connection, merging into the list.
    void startSession(CommonObexIrMCConnection& irmc)
    {
        session.reset();
        link.reset();
        user = irmctest::IrmcUser();
        user.list = &list;
        user.merge = true;
        QVIRMCObexLink::Device info;
        info.identifier = QStringLiteral("Gigaset+SL");
        info.maker = QStringLiteral("Gigaset");
        info.model = QStringLiteral("SL");
        info.settings = &device;
        info.setSetting = [this](const QString& key, const QVariant& value) { device.settings.insert(key, value); };
        info.writeNow = [this] { ++device.writes; };
        link = std::make_unique<QVIRMCObexLink>(irmc, info);
        session = QVIRMCSession::irmcSessionWithConnection(*link, &user);
        ASSERT_NE(session, nullptr);
    }
    int runSync()
    {
        EXPECT_EQ(session->performReadContacts(false), 0);
        EXPECT_TRUE(waitFor([&] { return user.finished; }, 240));
        return user.result;
    }

    std::shared_ptr<QVSyncElem> addContact(const QString& uri, const QString& last, const QString& number)
    {
        auto elem = list.createNewElem(QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:%1;Anna\r\nTEL;CELL:%2\r\n"
                                                      "END:VCARD\r\n")
                                           .arg(last, number),
                                       uri, QStringLiteral("Protocol Gigaset"), QString(), QString());
        EXPECT_NE(elem, nullptr);
        if (!elem)
            return nullptr;
        elem->setProperty(0);
        list.addObject(elem);
        return elem;
    }

    // The phone's entries as seen between sessions (phonesim's thread idles).
    QList<phonesim::IrmcPhone::Entry> phoneEntries() const
    {
        QList<phonesim::IrmcPhone::Entry> entries;
        sim->modifyObexServer([&](phonesim::ObexServer&) { entries = phone->entries(); });
        return entries;
    }
    QStringList phoneWrites() const
    {
        QStringList writes;
        sim->modifyObexServer([&](phonesim::ObexServer&) { writes = phone->writes(); });
        return writes;
    }

    testing_support::OutsideInputScope outside{0.01};
    std::shared_ptr<platform::UsbRegistrySimulated> registry;
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    std::unique_ptr<MFDevice> phoneDevice;
};

// A first (slow) sync brings the phone's entries into the list and sends the
// list's new contacts; the phone has no level 4, so each new entry's LUID is
// read back. The second open takes up the parked channel, and the second sync
// is fast and moves exactly the phone's change and deletion.
TEST_F(IrmcGigasetPtyTest, SlowThenFastSyncOverTheParkedChannel)
{
    fillPhone(3);
    phone->setLevel4(false);
    attachGigaset();
    auto* irmc = dynamic_cast<CommonObexIrMCConnection*>(phoneDevice->syncMLConnection());
    ASSERT_NE(irmc, nullptr) << "the device's IrMC connection cannot run an IrMC session";

    const auto maria = addContact(QStringLiteral("T-1"), QStringLiteral("Mac"), QStringLiteral("+4930555"));
    const auto jonas = addContact(QStringLiteral("T-2"), QStringLiteral("Berg"), QStringLiteral("+4930666"));
    ASSERT_TRUE(maria && jonas);

    ASSERT_EQ(openService(), 0);
    EXPECT_TRUE(sim->obexMode());
    EXPECT_EQ(sim->obexServer().lastTarget(), QByteArray("IRMC-SYNC"));
    ASSERT_NE(irmc->obexSession(), nullptr);
    EXPECT_EQ(irmc->obexSession()->className(), QStringLiteral("CommonObexATSwitchIrMCTransportLayer"));
    startSession(*irmc);
    ASSERT_EQ(runSync(), 0);
    EXPECT_FALSE(user.delivered.value(QStringLiteral("SyncML-IsFast")).toBool());
    for (const char* luid : {"1", "2", "3"})
        EXPECT_NE(list.objectForURI(QLatin1String(luid)), nullptr) << luid;

    QList<phonesim::IrmcPhone::Entry> entries = phoneEntries();
    ASSERT_EQ(entries.size(), 5);
    // Each new contact carries the LUID of the entry it became.
    const auto luidOf = [&](const QByteArray& name) {
        for (const auto& entry : entries) {
            if (entry.card.contains(name))
                return entry.luid;
        }
        return QString();
    };
    EXPECT_EQ(maria->sourceURI(), luidOf("N:Mac;Anna"));
    EXPECT_EQ(jonas->sourceURI(), luidOf("N:Berg;Anna"));
    EXPECT_EQ(QSet<QString>({maria->sourceURI(), jonas->sourceURI()}), QSet<QString>({"4", "5"}));
    EXPECT_EQ(phoneWrites(), (QStringList{"telecom/pb/luid/zapis.vcf", "telecom/pb/luid/zapis.vcf"}));
    const QString anchor = device.settings.value(QStringLiteral("Common.LogNumber-Contacts")).toString();
    EXPECT_FALSE(anchor.isEmpty());

    // Closing leaves the channel parked, out of OBEX mode; the phone changes
    // and deletes an entry in between.
    ASSERT_EQ(closeService(), 0);
    SerialATChannel* const parked = parkedChannel();
    ASSERT_NE(parked, nullptr);
    EXPECT_EQ(parkedChannel()->mfDevice(), phoneDevice.get());
    EXPECT_TRUE(waitFor([&] { return !sim->obexMode(); }, 5));
    sim->modifyObexServer([this](phonesim::ObexServer&) {
        phone->modifyEntry(QStringLiteral("2"),
                           phonesim::IrmcPhone::card(QStringLiteral("Renamed"), QStringLiteral("+4930222")));
        phone->removeEntry(QStringLiteral("3"));
    });

    sim->clearReceived();
    ASSERT_EQ(openService(), 0);
    EXPECT_EQ(parkedChannel(), nullptr);
    auto* transport = dynamic_cast<CommonObexATSwitchTransportLayer*>(irmc->obexSession());
    ASSERT_NE(transport, nullptr);
    EXPECT_EQ(transport->serialChannel(), parked); // taken up again, not opened anew
    EXPECT_TRUE(sim->receivedLines().contains("AT+CPROT=0"));
    startSession(*irmc);
    ASSERT_EQ(runSync(), 0);
    EXPECT_TRUE(user.delivered.value(QStringLiteral("SyncML-IsFast")).toBool());
    EXPECT_EQ(itemSummary(user.items()), (QStringList{"Delete:3", "Replace:2"}));
    EXPECT_EQ(list.objectForURI(QStringLiteral("3")), nullptr);
    ASSERT_NE(list.objectForURI(QStringLiteral("2")), nullptr);
    EXPECT_TRUE(list.objectForURI(QStringLiteral("2"))->allContentString().contains(QStringLiteral("Renamed")));
    EXPECT_EQ(phoneWrites().size(), 2); // nothing sent back
    EXPECT_EQ(phoneEntries().size(), 4);
    EXPECT_NE(device.settings.value(QStringLiteral("Common.LogNumber-Contacts")).toString(), anchor);
    EXPECT_EQ(closeService(), 0);
}

} // namespace
