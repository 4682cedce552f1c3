#include "devicewindow/files/FileDragAndDrop.h"

#include "foundation/SafeFileName.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectoryEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>

namespace {
QString& dragRootPath()
{
    static QString root;
    return root;
}

void removeDragRootAtQuit()
{
    FileDragAndDrop::removeAllDragCopies();
}

bool suffixAllowed(const QString& path, const QStringList& filter)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return !suffix.isEmpty() && std::any_of(filter.begin(), filter.end(), [&](const QString& allowed) {
        return allowed.compare(suffix, Qt::CaseInsensitive) == 0;
    });
}
} // namespace

FileDragAndDrop::FileDragAndDrop(DZDataManager* manager, QObject* parent) : QObject(parent), manager_(manager)
{
    sweep_.setCallback([this] { removeExpired(); });
}

FileDragAndDrop::~FileDragAndDrop()
{
    for (const DragFolder& folder : folders_)
        QDir(folder.path).removeRecursively();
}

QStringList FileDragAndDrop::filterList(const QString& slashSeparated)
{
    return slashSeparated.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

bool FileDragAndDrop::availableFiles(const QStringList& paths, const QStringList& filter) const
{
    return !filterFiles(paths, filter).isEmpty();
}

QStringList FileDragAndDrop::filterFiles(const QStringList& paths, const QStringList& filter) const
{
    QStringList taken;
    for (const QString& path : paths)
        if (suffixAllowed(path, filter) && QFileInfo(path).isFile())
            taken.append(path);
    return taken;
}

QStringList FileDragAndDrop::namesOfPromisedFilesDroppedAtDestination(
    const QString& destination, const std::vector<std::shared_ptr<DZDirectoryEntry>>& items)
{
    QStringList names;
    if (!QFileInfo(destination).isDir())
        return names;
    for (const auto& item : items) {
        if (!item || !item->isFile())
            continue;
        if (item->copyToMacDirectory(destination))
            names.append(safeFileNameFromDescription(item->name()));
    }
    return names;
}

QString FileDragAndDrop::getDragHandyPath(const std::shared_ptr<DZDirectoryEntry>& node) const
{
    return node ? node->fullExternalPath() : QString();
}

void FileDragAndDrop::fillPasteBoard(const QStringList& phonePaths, QMimeData* pasteboard, QObject* owner) const
{
    Q_UNUSED(owner);
    if (!pasteboard)
        return;
    pasteboard->setData(kPhonePathsType, phonePaths.join(QLatin1Char('\n')).toUtf8());
}

QStringList FileDragAndDrop::phonePathsOf(const QMimeData* pasteboard)
{
    if (!pasteboard || !pasteboard->hasFormat(kPhonePathsType))
        return {};
    return QString::fromUtf8(pasteboard->data(kPhonePathsType)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString FileDragAndDrop::dragRoot()
{
    QString& root = dragRootPath();
    if (root.isEmpty()) {
        root = QDir(QDir::tempPath())
                   .filePath(QStringLiteral("marvesto-drag-%1").arg(QCoreApplication::applicationPid()));
        qAddPostRoutine(removeDragRootAtQuit);
    }
    return root;
}

void FileDragAndDrop::removeAllDragCopies()
{
    if (!dragRootPath().isEmpty())
        QDir(dragRootPath()).removeRecursively();
}

QStringList FileDragAndDrop::makeDragCopies(const QList<QPair<QString, QString>>& fileAndName)
{
    const QString root = dragRoot();
    if (!QDir().mkpath(root))
        return {};
    QTemporaryDir made(QDir(root).filePath(QStringLiteral("drag-XXXXXX")));
    if (!made.isValid())
        return {};
    QStringList copies;
    QStringList taken;
    for (const auto& [file, name] : fileAndName) {
        QString safe = safeFileNameFromDescription(name);
        // Two files of one name get a number, never overwrite each other.
        for (int n = 2; taken.contains(safe, Qt::CaseInsensitive); ++n)
            safe = QStringLiteral("%1 %2").arg(n).arg(safeFileNameFromDescription(name));
        taken.append(safe);
        const QString target = QDir(made.path()).filePath(safe);
        if (QFileInfo(target).dir().absolutePath() != QDir(made.path()).absolutePath() || !QFile::copy(file, target))
            return {};   // the folder goes with `made`
        copies.append(target);
    }
    made.setAutoRemove(false);
    folders_.push_back({made.path(), -1});
    return copies;
}

void FileDragAndDrop::dragEnded()
{
    const double now = platform::Clock::instance().now();
    for (DragFolder& folder : folders_)
        if (folder.expires < 0)
            folder.expires = now + kDragFolderGrace;
    if (!sweep_.isActive())
        sweep_.start(kDragFolderGrace);
}

void FileDragAndDrop::removeExpired()
{
    const double now = platform::Clock::instance().now();
    auto gone = std::remove_if(folders_.begin(), folders_.end(), [&](const DragFolder& folder) {
        if (folder.expires < 0 || folder.expires > now)
            return false;
        QDir(folder.path).removeRecursively();
        return true;
    });
    folders_.erase(gone, folders_.end());
    double next = -1;
    for (const DragFolder& folder : folders_)
        if (folder.expires >= 0 && (next < 0 || folder.expires < next))
            next = folder.expires;
    if (next >= 0)
        sweep_.start(std::max(0.0, next - now));
}
