// The data manager's stored tree: "index.plist" in the phone's working folder.
#include "phone/DZDataManager.h"

#include "device/MFDeviceInfo.h"
#include "foundation/NamedLog.h"
#include "phone/DZDirectory.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "platform/PropertyList.h"

#include <QDir>

QString DZDataManager::finderStatePath() const
{
    const QString base = FilesMirror::tempDataBasePath();
    if (base.isEmpty())
        return QString();
    const QString model = _mfDevice.settingText(QStringLiteral("Dorvanti.Model"));
    const QString serial = _mfDevice.settingText(QStringLiteral("Common.SerialNo"));
    const QString device = QStringLiteral("%1-%2").arg(model, serial);
    if (!dztree::isSafePhoneName(device))
        return QString();
    const QString folder = QDir(base).filePath(device + QLatin1Char('/') + dztree::kDataManagerFolder);
    if (!QDir().mkpath(folder))
        return QString();
    return QDir(folder).filePath(dztree::kFinderStateFile);
}

void DZDataManager::saveFinderState()
{
    const QString path = finderStatePath();
    if (!path.isEmpty())
        platform::plist::writeFile(path, _directoryTreeRoot->toDictionary());
}

DZDataManager::DirPtr DZDataManager::treeFromStoredRoot(const QVariant& stored, QString* why)
{
    if (stored.typeId() != QMetaType::QVariantMap) {
        *why = QStringLiteral("the root is no dictionary");
        return nullptr;
    }
    const QVariantMap rootNode = stored.toMap();
    if (!rootNode.value(dztree::kIsDirectory).toBool()) {
        *why = QStringLiteral("the root is no folder");
        return nullptr;
    }
    auto root = std::static_pointer_cast<DZDirectory>(
        DZDirectoryEntry::speculativeEntryWithName(QStringLiteral("/"), this, true));
    const QVariant label = rootNode.value(dztree::kEtikette);
    if (label.isValid())
        root->setEtiketteField(unsigned(label.toULongLong()));
    root->attributes() = rootNode.value(dztree::kCustomAttributes).toMap();
    root->setFTPFile(root->ftpFile());

    // Folders still to read, with their depth: no recursion on stored data.
    struct Pending {
        DirPtr folder;
        QVariantList children;
        int depth;
    };
    std::vector<Pending> pending{{root, rootNode.value(dztree::kChildren).toList(), 1}};
    while (!pending.empty()) {
        Pending next = std::move(pending.back());
        pending.pop_back();
        if (next.depth > dztree::kFinderStateMaxDepth) {
            *why = QStringLiteral("nested deeper than %1 levels").arg(dztree::kFinderStateMaxDepth);
            root->detachTree();
            return nullptr;
        }
        for (const QVariant& child : std::as_const(next.children)) {
            if (child.typeId() != QMetaType::QVariantMap)
                continue;
            const QVariantMap node = child.toMap();
            EntryPtr entry = DZDirectoryEntry::entryFromTreeNode(node, next.folder, this);
            if (!entry || !entry->isDirectory())
                continue;
            const QVariant children = node.value(dztree::kChildren);
            if (children.typeId() == QMetaType::QVariantList)
                pending.push_back({std::static_pointer_cast<DZDirectory>(entry), children.toList(), next.depth + 1});
        }
    }
    return root;
}

void DZDataManager::loadFinderState()
{
    const QString path = finderStatePath();
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    QString why;
    const QVariant stored = platform::plist::readFile(path, &why);
    DirPtr root = why.isEmpty() ? treeFromStoredRoot(stored, &why) : nullptr;
    if (!root) {
        QVLOG(qvlog::kXT, dztree::kFinderStateDamagedFormat.arg(path, why));
        return;
    }
    DirPtr old = std::exchange(_directoryTreeRoot, root);
    if (old)
        old->detachTree();
    if (_mirror)
        _directoryTreeRoot->registerTreeOnMirror();
}
