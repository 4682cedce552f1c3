// The folder waits of the sync and backup containers and the backup's file
// group on a phone tree of 10,000 files in 100 folders: one wait tick (the
// whole tree is walked every 0.34 s; items per second are entries), and the
// backup's copies built when 9,900 of the files have a current mirror copy.
#include "jobs/QVAction.h"
#include "links/FTPFile.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phonejobs/FileJobMakers.h"
#include "phonejobs/GroupActionBackupPhone.h"
#include "phonejobs/WaitForFoldersPreprocessor.h"
#include "platform/Clock.h"

#include "InMemoryFileTransfer.h"
#include "TemporaryHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;

std::shared_ptr<FTPFile> benchRecord(const QString& name, const QString& folder, bool isFolder)
{
    return FTPFile::ftpFileWithAttributes({{FTPFile::kName, name},
                                           {FTPFile::kSize, 1000},
                                           {FTPFile::kModified, QStringLiteral("20240101T120000")},
                                           {FTPFile::kFileTypeKey, isFolder ? 1 : 0}},
                                          folder, nullptr);
}

// A mass-storage phone on the in-memory connection whose tree holds 10,000
// files, every folder listed; with its files mirror.
struct BackupTreePhone {
    BackupTreePhone()
    {
        MFDevice::Makers makers;
        makers.massStorageFTP = [](MFDevice& owner, const QVariantMap&) {
            return std::make_unique<InMemoryFileTransfer>(owner,
                                                          QVariantMap{{"type", "USB-MassStorage"}, {"channel", 0}});
        };
        makers.dataManager = [](MFDevice& owner) { return std::make_unique<DZDataManager>(owner, filejobs::makers()); };
        const QVariantMap row{{"Dorvanti.Model", "C100"}, {"Dorvanti.Manufacturer", "Phone Maker"}};
        device = std::make_unique<MFDevice>(
            QLatin1String(MFDevice::kUSBMassStorage),
            std::make_shared<QVariantMap>(QVariantMap{{"Common.SerialNo", "1234"}, {"Common.BackupDevice", true},
                                                     {"Common.BackupExceptSuffixList", QStringList{"map"}}}),
            row, nullptr, makers);
        manager = dynamic_cast<DZDataManager*>(device->dataManager());
        mirror = FilesMirror::mirrorWithDevice(*device, home.filePath(QStringLiteral("C100.dzmir")));
        FTPFileList folders;
        for (int f = 0; f < kFolders; ++f)
            folders.append(benchRecord(QStringLiteral("F%1").arg(f), QStringLiteral("/"), true));
        manager->updateDirectory(QStringLiteral("/"), folders);
        for (int f = 0; f < kFolders; ++f) {
            const QString folder = QStringLiteral("/F%1").arg(f);
            FTPFileList files;
            for (int n = 0; n < kFilesPerFolder; ++n)
                files.append(benchRecord(QStringLiteral("doc_%1.txt").arg(n), folder, false));
            manager->updateDirectory(folder, files);
        }
    }
    // Gives all but the first count files a mirror copy.
    void mirrorAllBut(int count)
    {
        int skipped = 0;
        for (int f = 0; f < kFolders; ++f) {
            for (int n = 0; n < kFilesPerFolder; ++n) {
                if (skipped++ < count)
                    continue;
                const QString path = mirror->getMirrorPath(QStringLiteral("/F%1/doc_%2.txt").arg(f).arg(n));
                QFile out(path);
                if (out.open(QIODevice::WriteOnly))
                    out.write("x");
            }
        }
    }

    QTemporaryDir home;
    std::unique_ptr<MFDevice> device;
    DZDataManager* manager = nullptr;
    std::unique_ptr<FilesMirror> mirror;
};

// A job the wait holds back; it never runs.
class BenchHeldJob : public QVAction {
public:
    QString actionType() const override { return QStringLiteral("GenericPipe"); }
};

void BM_FolderWaitTickOverTenThousandFiles(benchmark::State& state)
{
    BackupTreePhone phone;
    // The last folder of the walk is still being listed: every tick walks
    // the whole tree and keeps waiting.
    phone.manager->getEntry(QStringLiteral("/F99"))->setStatus(dztree::kUpdating);
    auto job = std::make_shared<BenchHeldJob>();
    auto wait = WaitForFoldersPreprocessor::allocWaitForFoldersPreprocessor(QStringLiteral("/"));
    job->setPreprocessAction(wait);
    phone.device->addAction(job);
    for (auto _ : state)
        wait->waitForFoldersPreprocessorIdle();
    if (!wait->isWaiting())
        state.SkipWithError("the wait ended");
    wait->endWithStatus(0);
    state.SetItemsProcessed(state.iterations() * (kFolders * (kFilesPerFolder + 1)));
}
BENCHMARK(BM_FolderWaitTickOverTenThousandFiles)->Unit(benchmark::kMillisecond);

void BM_BackupCopiesWith9900Mirrored(benchmark::State& state)
{
    BackupTreePhone phone;
    phone.mirrorAllBut(100);
    const auto root = phone.manager->getEntry(QStringLiteral("/"));
    int added = 0;
    for (auto _ : state) {
        auto group = std::make_shared<GroupActionBackupPhone>();
        group->setActionDevice(phone.device.get(), nullptr, 0);
        group->addCopyActionsForEntry(root);
        added = group->copiesAdded();
    }
    if (added != 100)
        state.SkipWithError(("not 100 copies: " + std::to_string(added)).c_str());
    state.SetItemsProcessed(state.iterations() * kFolders * kFilesPerFolder);
}
BENCHMARK(BM_BackupCopiesWith9900Mirrored)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // The mirror and the tree's state go under a temporary home.
    BenchTemporaryHome home;
    QCoreApplication app(argc, argv);
    platform::Clock::instance().setVirtual(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
