// A 500-contact phonebook sync and a 200-event calendar sync of a Motorola
// and an LG phone, through the device, its pipe, the bridges, the kit and
// phonesim on a pseudo-terminal at 115,200 bit/s: the desktop's items are
// written to the empty phone, then a slow sync reads them all back. The
// counters give the share of the jobs' own work (merging, the archive's and
// the raw records' writes) in the whole run, the rest being the kit's.
#include "jobs/QVActionMachine.h"
#include "phone/DZDataManager.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phonejobs/ActionLGContactServices.h"
#include "phonejobs/ActionLGEventsServices.h"
#include "phonejobs/ActionMotoContactServices.h"
#include "phonejobs/ActionMotoEventsServices.h"
#include "phonejobs/FileJobMakers.h"
#include "platform/Clock.h"
#include "platform/RunLoop.h"
#include "platform/UsbRegistrySimulated.h"
#include "syncmodel/QVSyncElemList.h"

#include "PhoneSimulator.h"
#include "TemporaryHome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kKitSyncLineRate = 115200;

struct KitSyncPhone {
    KitSyncPhone(const char* profile, const char* protocol)
    {
        registry = std::make_shared<platform::UsbRegistrySimulated>();
        platform::UsbRegistry::setShared(registry);
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QLatin1String(profile)));
        if (QLatin1String(profile) == QLatin1String("motorola"))
            sim->modifySession([](phonesim::PhoneSession& s) {
                s.characterSet.offered = {"GSM", "UCS2"};
                s.motorola.lastSlot = 1000;
            });
        sim->setLineRate(kKitSyncLineRate);
        ok = sim->start();
        platform::UsbDevice modem;
        modem.location = QStringLiteral("1-1");
        modem.vendorId = 0x1004;
        modem.productId = 0x6000;
        modem.serialNumber = QStringLiteral("35201234");
        modem.ttyPaths = {sim->slavePath()};
        registry->addInterface(registry->addDevice(modem), 1, platform::UsbRegistry::kClassCdcData);
        auto dict = std::make_shared<QVariantMap>(QVariantMap{{"USB.VendorID", 0x1004},
                                                              {"USB.ProductID", 0x6000},
                                                              {"Common.SerialNo", "35201234"},
                                                              {"USB.PortName", sim->slavePath()}});
        const QVariantMap row{{"Dorvanti.DeviceProtocol", profile},
                              {"Dorvanti.Identification", profile},
                              {"Dorvanti.Manufacturer", "Phone Maker"},
                              {"Dorvanti.SMSProtocol", profile},
                              {"Dorvanti.SyncMLProtocol", protocol}};
        MFDevice::Makers makers;
        makers.dataManager = [](MFDevice& d) { return std::make_unique<DZDataManager>(d, filejobs::makers()); };
        device = std::make_unique<MFDevice>(QString::fromLatin1(MFDevice::kUSBSerial), dict, row, nullptr, makers);
        mirror = FilesMirror::mirrorWithDevice(*device, dir.path() + QStringLiteral("/phone.dzmir"));
        archive = OrganizerArchive::archiveWithDevice(*device);
    }
    ~KitSyncPhone()
    {
        device->actionMachine()->announceQuitWithLoops(5);
        archive.reset();
        mirror.reset();
        device.reset();
        sim.reset();
        platform::UsbRegistry::setShared(nullptr);
    }
    // Runs the job to its end: its code, the run's seconds and the job's own.
    int run(const std::shared_ptr<ActionOrganizerKitServices>& job, double& seconds, double& own)
    {
        std::optional<int> end;
        job->addFeedBackNotification(this, [&end](const platform::Notification& note) {
            const QVariant code = note.userInfo.value(QStringLiteral("QVFeedEndActionKey"));
            if (code.isValid())
                end = code.toInt();
        });
        QElapsedTimer timer;
        timer.start();
        device->addAction(job);
        platform::runloop::waitUntil([&] { return end.has_value(); }, 0.01, 60000);
        seconds += double(timer.nsecsElapsed()) / 1e9;
        own += job->ownWorkSeconds();
        job->stopFeedBackNotification(this);
        return end.value_or(-999);
    }

    QTemporaryDir dir;
    std::shared_ptr<platform::UsbRegistrySimulated> registry;
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    std::unique_ptr<MFDevice> device;
    std::unique_ptr<FilesMirror> mirror;
    std::unique_ptr<OrganizerArchive> archive;
    bool ok = false;
};

QString kitSyncItem(bool calendar, int i)
{
    if (!calendar)
        return QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Person%1;Anna\r\nTEL;CELL:+49301%2\r\nEND:VCARD\r\n")
            .arg(i)
            .arg(i, 5, 10, QLatin1Char('0'));
    const QDateTime start = QDateTime(QDate(2030, 1, 1), QTime(9, 0), Qt::UTC).addDays(i);
    return QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nSUMMARY:Meeting %1\r\nDTSTART:%2\r\n"
                          "DTEND:%3\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
        .arg(i)
        .arg(start.toString(QStringLiteral("yyyyMMddThhmmssZ")), start.addSecs(3600).toString(QStringLiteral("yyyyMMddThhmmssZ")));
}

void BM_KitSync(benchmark::State& state)
{
    const bool lg = state.range(0) != 0;
    const bool calendar = state.range(1) != 0;
    const int count = calendar ? 200 : 500;
    for (auto _ : state) {
        KitSyncPhone phone(lg ? "lg" : "motorola", lg ? "Protocol LG" : "Protocol Motorola V3 Series");
        if (!phone.ok) {
            state.SkipWithError("phonesim did not start");
            return;
        }
        QVSyncElemList* list = phone.archive->storage(calendar ? 1 : 0);
        for (int i = 0; i < count; ++i) {
            auto elem = list->createNewElem(kitSyncItem(calendar, i), QStringLiteral("T-%1").arg(i + 1), QString(), {},
                                            {});
            elem->setProperty(calendar ? 1 : 0);
            list->addObject(elem);
        }
        const auto make = [&](bool slow) -> std::shared_ptr<ActionOrganizerKitServices> {
            if (calendar)
                return lg ? std::shared_ptr<ActionOrganizerKitServices>(
                                ActionLGEventsServices::initActionLGEventsServices(nullptr, slow, {}, false))
                          : ActionMotoEventsServices::initActionMotoEventsServices(nullptr, slow, {}, false, false);
            return lg ? std::shared_ptr<ActionOrganizerKitServices>(
                            ActionLGContactServices::initActionLGContactServices(nullptr, slow, {}, false))
                      : ActionMotoContactServices::initActionMotoContactServices(nullptr, slow, {}, false);
        };
        double seconds = 0;
        double own = 0;
        const int written = phone.run(make(false), seconds, own);
        const int read = phone.run(make(true), seconds, own);
        if (written != 0 || read != 0) {
            state.SkipWithError("the sync failed");
            return;
        }
        state.SetIterationTime(seconds);
        state.counters["items"] = list->allCount();
        state.counters["run_s"] = seconds;
        state.counters["own_s"] = own;
        state.counters["own_share_pct"] = seconds > 0 ? 100.0 * own / seconds : 0;
    }
}
BENCHMARK(BM_KitSync)
    ->ArgNames({"lg", "calendar"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

} // namespace

int main(int argc, char** argv)
{
    BenchTemporaryHome home;
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
