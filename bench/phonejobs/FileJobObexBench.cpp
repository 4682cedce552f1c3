// A 1 MB copy from the phone through the file job (the tree's copy to the
// computer, through the mirror) beside the same copy straight through the
// device's OBEX file-transfer connection; phonesim serves it on its File
// Transfer channel over the simulated Bluetooth stack, paced as a
// 921,600 bit/s line. Bytes per second; the ratio of the two times is the
// job's overhead. With them, 256 KB each way straight through the
// connection at 460,800 bit/s and 12 Mbit/s, as shares of the line rate.
#include "jobs/QVActionMachine.h"
#include "links/ObexFileTransferConnection.h"
#include "links/QVDeviceCallback.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phonejobs/FileJobMakers.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"

#include "PhoneSimulator.h"
#include "ServiceRecords.h"
#include "TemporaryHome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kCopyBytes = 1 << 20;
constexpr int kLineRate = 921600;
constexpr const char* kAddress = "00:12:34:56:78:9a";
const int kSender = 0;

bool jobWait(const std::function<bool()>& done, double seconds = 120)
{
    return platform::runloop::waitUntil(done, 0.01, int(seconds * 100));
}

// The phone behind the simulated stack, its device, tree and mirror.
struct ObexPhone {
    explicit ObexPhone(int bytes = kCopyBytes, int rate = kLineRate)
    {
        stack = std::make_shared<platform::BluetoothStackSimulated>();
        platform::BluetoothStack::setShared(stack);
        const QString profile = QStringLiteral("sonyericsson");
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(profile));
        QList<platform::SdpServiceRecord> records;
        for (const QVariantMap& description : phonesim::ServiceRecords::forProfile(profile))
            records.append(*platform::BluetoothStackSimulated::recordFromJson(description));
        stack->addDevice(QString::fromLatin1(kAddress), QStringLiteral("Phone"), true, records, true);
        for (int channel : phonesim::ServiceRecords::obexChannels(profile))
            stack->setChannelConnector(QString::fromLatin1(kAddress), quint8(channel),
                                       [this] { return sim->connectObexSocketPair(); });
        data = QByteArray(bytes, '\0');
        for (int i = 0; i < bytes; ++i)
            data[i] = char((i * 7 + i / 251) & 0xFF);
        sim->modifyObexServer([&](phonesim::ObexServer& s) {
            s.addFolder(QStringLiteral("/D"));
            s.putFile(QStringLiteral("/D/big.bin"), data);
        });
        sim->setLineRate(rate);
        MFDevice::Makers makers;
        filejobs::install(makers);
        const QVariantMap row{{"Dorvanti.Model", "K750"},
                              {"Dorvanti.Manufacturer", "Sony Ericsson"},
                              {"Dorvanti.SyncMLProtocol", "UNKNOWN"},
                              {"Dorvanti.OBEXFileSupport", "1"}};
        device = std::make_unique<MFDevice>(
            QString::fromLatin1(MFDevice::kBluetooth),
            std::make_shared<QVariantMap>(QVariantMap{{"BT.BT_Address", QString::fromLatin1(kAddress)}}), row,
            nullptr, makers);
        manager = dynamic_cast<DZDataManager*>(device->dataManager());
        mirror = FilesMirror::mirrorWithDevice(*device, dir.path() + QStringLiteral("/K750.dzmir"));
    }
    ~ObexPhone()
    {
        device->actionMachine()->announceQuitWithLoops(5);
        device.reset();
        mirror.reset();
        sim.reset();
        platform::BluetoothStack::setShared(nullptr);
    }
    bool fileIs(const QString& path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && file.readAll() == data;
    }

    QTemporaryDir dir;
    QTemporaryDir out;
    QByteArray data;
    std::shared_ptr<platform::BluetoothStackSimulated> stack;
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    std::unique_ptr<MFDevice> device;
    DZDataManager* manager = nullptr;
    std::unique_ptr<FilesMirror> mirror;
};

void BM_CopyToComputer1MB(benchmark::State& state)
{
    const bool throughJob = state.range(0) != 0;
    double seconds = 0;
    for (auto _ : state) {
        ObexPhone phone;
        if (!phone.manager || !phone.mirror) {
            state.SkipWithError("no tree or mirror");
            return;
        }
        auto folder = phone.manager->getDirectory(QStringLiteral("/D"));
        folder->update();
        jobWait([&] { return folder->status() == dztree::kUpToDate && !folder->hasActionsInProgress(); });
        auto file = phone.manager->getEntry(QStringLiteral("/D/big.bin"));
        if (!file) {
            state.SkipWithError("no listing");
            return;
        }
        const QString target = phone.out.path() + QStringLiteral("/big.bin");
        QElapsedTimer clock;
        clock.start();
        if (throughJob) {
            file->copyToMacDirectory(phone.out.path());
            jobWait([&] { return QFileInfo::exists(target) && !file->hasActionsInProgress(); });
        } else {
            std::optional<int> status;
            auto* ftp = phone.device->ftpConnection();
            ftp->copyFromMobileToMac(QStringLiteral("/D/big.bin"), phone.out.path(), false,
                                     QVDeviceCallback::commandObject(
                                         &kSender, [&](QVDeviceCallback& c) { status = c.returnStatus(); }, {}));
            jobWait([&] { return status.has_value(); });
        }
        const double copySeconds = clock.nsecsElapsed() / 1e9;
        seconds += copySeconds;
        state.SetIterationTime(copySeconds);
        if (!phone.fileIs(target)) {
            state.SkipWithError("copy failed");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kCopyBytes);
    state.counters["seconds"] = seconds / double(state.iterations());
    state.counters["line_share"] = double(kCopyBytes) * double(state.iterations()) / seconds / (kLineRate / 10.0);
    state.SetLabel(throughJob ? "file job" : "connection");
}
BENCHMARK(BM_CopyToComputer1MB)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();

// range 0: line rate in bit/s; range 1: 0 to the computer, 1 to the phone.
void BM_ConnectionCopy256KB(benchmark::State& state)
{
    constexpr int kBytes = 256 * 1024;
    const int rate = int(state.range(0));
    const bool toPhone = state.range(1) != 0;
    double seconds = 0;
    for (auto _ : state) {
        ObexPhone phone(kBytes, rate);
        auto* ftp = phone.device->ftpConnection();
        const QString local = phone.out.path() + QStringLiteral("/up.bin");
        if (toPhone) {
            QFile file(local);
            if (!file.open(QIODevice::WriteOnly) || file.write(phone.data) != kBytes) {
                state.SkipWithError("no local file");
                return;
            }
        }
        std::optional<int> status;
        const auto callback = QVDeviceCallback::commandObject(
            &kSender, [&](QVDeviceCallback& c) { status = c.returnStatus(); }, {});
        QElapsedTimer clock;
        clock.start();
        const int started = toPhone ? ftp->copyFromMacToMobile(local, QStringLiteral("/D"), true, callback)
                                    : ftp->copyFromMobileToMac(QStringLiteral("/D/big.bin"), phone.out.path(),
                                                               false, callback);
        if (started == 0)
            jobWait([&] { return status.has_value(); });
        const double copySeconds = clock.nsecsElapsed() / 1e9;
        seconds += copySeconds;
        state.SetIterationTime(copySeconds);
        const bool ok = toPhone ? phone.sim->obexServer().files().value(QStringLiteral("/D/up.bin")) == phone.data
                                : phone.fileIs(phone.out.path() + QStringLiteral("/big.bin"));
        if (started != 0 || status != 0 || !ok) {
            state.SkipWithError("copy failed");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kBytes);
    state.counters["line_share"] = double(kBytes) * double(state.iterations()) / seconds / (rate / 10.0);
    state.SetLabel(toPhone ? "to phone" : "to computer");
}
BENCHMARK(BM_ConnectionCopy256KB)
    ->Args({460800, 0})
    ->Args({460800, 1})
    ->Args({12000000, 0})
    ->Args({12000000, 1})
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
