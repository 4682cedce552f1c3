// Fuzz target for what the phone file tree reads from outside. The first
// byte picks the input: even, the rest is the stored Finder state
// ("index.plist"), loaded into a fresh data manager; odd, the rest is an OBEX
// folder listing of "/Phone", merged into the tree twice (the second merge
// finds every entry known). Besides "no crash, no hang": every entry of the
// tree has a sound name, a loaded tree saves and loads back equal, and a
// merge leaves no entry the listing did not name.
#include "links/ObexFolderListing.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/DZTreeNames.h"
#include "phone/MFDevice.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void treeFail(const char* what, const QString& detail = {})
{
    std::fprintf(stderr, "phone tree fuzzer: %s %s\n", what, qPrintable(detail));
    std::abort();
}

MFDevice& treeDevice()
{
    static int argc = 1;
    static char name[] = "fuzz_phonetree";
    static char* argv[] = {name, nullptr};
    static QTemporaryDir* home = [] {
        auto* dir = new QTemporaryDir;
        qputenv("HOME", dir->path().toUtf8());
        qputenv("XDG_DATA_HOME", (dir->path() + QStringLiteral("/.local/share")).toUtf8());
        qputenv("XDG_CONFIG_HOME", (dir->path() + QStringLiteral("/.config")).toUtf8());
        return dir;
    }();
    (void)home;
    static QCoreApplication* app = [] {
        platform::Clock::instance().setVirtual(true);
        platform::Clock::instance().setVirtualIdleWait(0);
        return new QCoreApplication(argc, argv);
    }();
    (void)app;
    static MFDevice* device = [] {
        const QVariantMap row{{"Dorvanti.Model", "K700"}, {"Dorvanti.Manufacturer", "Sony Ericsson"}};
        return new MFDevice(QLatin1String(MFDevice::kUSBMassStorage),
                            std::make_shared<QVariantMap>(QVariantMap{{"Common.SerialNo", "1234"}}), row, nullptr,
                            MFDevice::Makers());
    }();
    return *device;
}

// Every entry below root has a sound name; the paths of the files and folders.
QStringList soundTree(const std::shared_ptr<DZDirectoryEntry>& root)
{
    QStringList paths;
    QList<std::shared_ptr<DZDirectoryEntry>> folders{root};
    while (!folders.isEmpty()) {
        const auto folder = folders.takeLast();
        for (const auto& child : folder->entriesNoUpdate()) {
            if (!dztree::isSafePhoneName(child->name()))
                treeFail("unsound name", child->name());
            paths.append(child->fullExternalPath());
            if (child->isDirectory())
                folders.append(child);
        }
    }
    return paths;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    MFDevice& device = treeDevice();
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if ((data[0] & 1) == 0) {
        DZDataManager manager(device, DZFileJobMakers());
        const QString path = manager.finderStatePath();
        QFile file(path);
        if (path.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            treeFail("no Finder state file");
        file.write(bytes);
        file.close();
        manager.loadFinderState();
        soundTree(manager.root());
        const QVariantMap loaded = manager.root()->toDictionary();
        manager.saveFinderState();
        DZDataManager again(device, DZFileJobMakers());
        again.loadFinderState();
        if (again.root()->toDictionary() != loaded)
            treeFail("a loaded tree does not read back equal");
    } else {
        const QString folder = QStringLiteral("/Phone");
        const auto entries = obexlisting::read(bytes, folder, nullptr);
        if (!entries)
            return 0;
        DZDataManager manager(device, DZFileJobMakers());
        for (int round = 0; round < 2; ++round) {
            manager.updateDirectory(folder, *entries);
            for (const QString& path : soundTree(manager.root())) {
                if (path == folder)
                    continue;
                bool named = false;
                for (const auto& entry : *entries)
                    named = named || path.compare(entry->fullPath(), Qt::CaseInsensitive) == 0;
                if (!named)
                    treeFail("an entry the listing did not name", path);
            }
        }
    }
    QCoreApplication::processEvents();
    return 0;
}
