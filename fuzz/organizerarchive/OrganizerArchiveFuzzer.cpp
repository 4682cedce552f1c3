#include "device/QVSyncDeviceDescription.h"
#include "ArchiveHoldingDataManager.h"
#include "phone/DeviceDataManager.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

using FuzzDataManager = ArchiveHoldingDataManager;

void fuzzWrite(const QString& path, const uint8_t* data, size_t size)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(reinterpret_cast<const char*>(data), qint64(size));
}

struct FuzzPhone {
    FuzzPhone()
    {
        qputenv("HOME", dir.path().toUtf8());
        qputenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8());
        qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
        qputenv("XDG_STATE_HOME", (dir.path() + "/state").toUtf8());
        platform::Clock::instance().setVirtual(true);
        MFDevice::Makers makers;
        makers.dataManager = [](MFDevice&) { return std::make_unique<FuzzDataManager>(); };
        auto description = QVSyncDeviceDescription::syncDeviceFromProtocol(QStringLiteral("UNKNOWN"));
        const QVariantMap row{{"Dorvanti.Model", "V3"}, {"Dorvanti.Manufacturer", "Motorola"}};
        auto dict = std::make_shared<QVariantMap>(
            QVariantMap{{"Common.BackupDevice", true}, {"Common.SerialNo", "fuzz"}, {"Common.BackupOrganizerMask", 31}});
        device = std::make_unique<MFDevice>(QLatin1String(MFDevice::kUSBMassStorage), dict, row, description, makers);
        anchor = dir.path() + QStringLiteral("/phone.dzmir");
        mirror = FilesMirror::mirrorWithDevice(*device, anchor);
    }
    QTemporaryDir dir;
    QString anchor;
    std::unique_ptr<MFDevice> device;
    std::unique_ptr<FilesMirror> mirror;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_organizerarchive";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static FuzzPhone phone;
    if (!phone.mirror)
        return 0;
    const QString history = phone.anchor + QStringLiteral("/Other Data/History");
    QDir(history).removeRecursively();
    QDir().mkpath(history);
    const QString working = phone.mirror->getSubTempPath(QStringLiteral("Other Data"));
    QDir().mkpath(working);
    fuzzWrite(working + QStringLiteral("/DeviceData"), data, size);
    fuzzWrite(working + QStringLiteral("/SyncAnchors"), data, size);
    for (const char* stamp : {"20240101-120000", "20240101-120001", "20240101-120002"})
        fuzzWrite(history + QStringLiteral("/OrganizerData-") + QLatin1String(stamp), data, size);
    auto archive = OrganizerArchive::archiveWithDevice(*phone.device);
    if (!archive)
        return 0;
    archive->elemCount(0);
    archive->getUnreadedSMS_Count();
    archive->writeOtherDataToFile(OrganizerArchive::kAllTypes);
    return 0;
}
