// The organizer archive of a phone with 2,000 contacts and 500 SMS: opened
// from a full history file and a chain of 8 differences (the working file is
// the newest difference), and one contact changed and written (working file
// and a difference file; every ninth write a full file).
#include "device/QVSyncDeviceDescription.h"
#include "ArchiveHoldingDataManager.h"
#include "phone/DeviceDataManager.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "platform/PropertyList.h"
#include "syncmodel/QVSyncElemList.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using BenchDataManager = ArchiveHoldingDataManager;

QString benchCard(int n)
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Name%1;Given%1\r\nTEL;CELL:+4917%2\r\n"
                          "EMAIL:p%1@example.org\r\nEND:VCARD\r\n")
        .arg(n)
        .arg(1000000 + n);
}

struct BenchPhone {
    BenchPhone()
    {
        qputenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8());
        MFDevice::Makers makers;
        makers.dataManager = [](MFDevice&) { return std::make_unique<BenchDataManager>(); };
        auto description = QVSyncDeviceDescription::syncDeviceFromProtocol(QStringLiteral("UNKNOWN"));
        const QVariantMap row{{"Dorvanti.Model", "V3"}, {"Dorvanti.Manufacturer", "Motorola"}};
        auto dict = std::make_shared<QVariantMap>(
            QVariantMap{{"Common.BackupDevice", true}, {"Common.SerialNo", "bench"}, {"Common.BackupOrganizerMask", 31}});
        device = std::make_unique<MFDevice>(QLatin1String(MFDevice::kUSBMassStorage), dict, row, description, makers);
        anchor = dir.path() + QStringLiteral("/phone.dzmir");
        mirror = FilesMirror::mirrorWithDevice(*device, anchor);
        history = anchor + QStringLiteral("/Other Data/History");
        working = mirror->getSubTempPath(QStringLiteral("Other Data")) + QStringLiteral("/DeviceData");
        QDir().mkpath(history);
        QDir().mkpath(QFileInfo(working).path());
    }
    // A full file, then 8 differences of 4 commands each; the newest is
    // also the working file.
    void writeChain()
    {
        QVariantList contacts, sms;
        for (int n = 0; n < 2000; ++n)
            contacts.append(QVariantMap{{"SourceURI", QString::number(n)}, {"vx-Data", benchCard(n)}});
        for (int n = 0; n < 500; ++n)
            sms.append(QVariantMap{{"SourceURI", QStringLiteral("2024010%1T1%2").arg(n % 9 + 1).arg(n, 5, 10, QLatin1Char('0'))},
                                   {"vx-Data", QVariantMap{{"SMS-Type", "inbox"}, {"Text", QStringLiteral("message %1").arg(n)}}}});
        QString previous = QStringLiteral("OrganizerData-20240101-100000");
        platform::plist::writeFile(history + '/' + previous,
                                   QVariantMap{{"FileFormat", "1/Full"},
                                               {"Contacts", QVariantMap{{"Items", contacts}}},
                                               {"SMS", QVariantMap{{"Items", sms}}}});
        QVariantMap diff;
        for (int step = 1; step <= 8; ++step) {
            QVariantList commands;
            for (int c = 0; c < 4; ++c) {
                const int n = step * 10 + c;
                commands.append(QVariantMap{{"Command", c == 3 ? "Delete" : "Replace"},
                                            {"SourceURI", QString::number(n)},
                                            {"vx-Data", benchCard(n + 5000)}});
            }
            diff = {{"FileFormat", "1/Diff"}, {"Diff-File", previous}, {"DiffFileIteration", step},
                    {"ChangesToFullFile", step * 4}, {"Contacts", commands}};
            previous = QStringLiteral("OrganizerData-20240101-10000%1").arg(step);
            platform::plist::writeFile(history + '/' + previous, diff);
        }
        platform::plist::writeFile(working, diff);
    }
    QTemporaryDir dir;
    QString anchor, history, working;
    std::unique_ptr<MFDevice> device;
    std::unique_ptr<FilesMirror> mirror;
};

BenchPhone& benchPhone()
{
    static BenchPhone phone;
    return phone;
}

void BM_OpenFullAndEightDifferences(benchmark::State& state)
{
    BenchPhone& phone = benchPhone();
    phone.writeChain();
    for (auto _ : state) {
        auto archive = OrganizerArchive::archiveWithDevice(*phone.device);
        benchmark::DoNotOptimize(archive->elemCount(0));
        if (archive->elemCount(0) < 1990)
            state.SkipWithError("the chain was not read");
    }
}
BENCHMARK(BM_OpenFullAndEightDifferences)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ChangeOneAndWrite(benchmark::State& state)
{
    BenchPhone& phone = benchPhone();
    phone.writeChain();
    auto archive = OrganizerArchive::archiveWithDevice(*phone.device);
    int n = 0;
    for (auto _ : state) {
        ++n;
        archive->storage(0)->addVXDataItem(QStringLiteral("new%1").arg(n), benchCard(90000 + n), QString());
        archive->writeOtherDataToFile(0);
    }
}
BENCHMARK(BM_ChangeOneAndWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(18);

} // namespace
