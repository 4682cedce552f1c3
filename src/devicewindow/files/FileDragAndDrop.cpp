#include "devicewindow/files/FileDragAndDrop.h"

#include "devicewindow/DeviceWindowLog.h"

#include "foundation/SafeFileName.h"
#include "jobs/QVAction.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectoryEntry.h"
#include "platform/RunLoop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include <unistd.h>

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

// Drag folders left by helpers that went before their grace ran out.
const char* const kLeftDragFolder = "removeLeftDragFolder";
const int kLeftDragFolderTarget = 0;

void removeDragFolderLater(const QString& path, double delay)
{
    platform::runloop::performAfterDelay(&kLeftDragFolderTarget, QLatin1String(kLeftDragFolder), std::max(0.0, delay),
                                         [path] { QDir(path).removeRecursively(); });
}

// Worker thread: copies each source to its target in slices, giving up as
// soon as stop is set. Answers whether every file arrived whole.
bool copyDragFiles(const QList<QPair<QString, QString>>& plan, const std::atomic<bool>& stop)
{
    constexpr qint64 kSlice = 1 << 20;
    for (const auto& [source, target] : plan) {
        QFile in(source);
        QFile out(target);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return false;
        QByteArray buffer;
        while (!in.atEnd()) {
            if (stop.load())
                return false;
            buffer = in.read(kSlice);
            if (buffer.isEmpty() && in.error() != QFileDevice::NoError)
                return false;
            if (out.write(buffer) != buffer.size())
                return false;
        }
        if (in.error() != QFileDevice::NoError || !out.flush())
            return false;
        out.close();
        if (out.error() != QFileDevice::NoError || QFileInfo(target).size() != QFileInfo(source).size())
            return false;
    }
    return true;
}

// Copies from the phone fetched under the phone's name into a hidden folder
// beside their target, waiting for their job to end to be put into place.
// They belong to no helper: a helper that goes (the window's phone changed,
// the window closed) leaves them to finish here, and the program's quit
// settles what is left.
struct FileDragAndDropRename {
    const FileDragAndDrop* owner = nullptr;
    std::weak_ptr<QVAction> job;
    QString staging;
    QString arrived;
    QString target;
    bool overwrite = false;
};

std::vector<FileDragAndDropRename>& fileDragAndDropRenames()
{
    static std::vector<FileDragAndDropRename> renames;
    return renames;
}

const int kFileDragAndDropRenameTarget = 0;
const char* const kFileDragAndDropRenameCheck = "checkPendingRenames";

// Puts an ended job's file into place (a whole copy is there, or nothing)
// and removes the hidden folder.
void fileDragAndDropSettleRename(const FileDragAndDropRename& rename)
{
    const QFileInfo arrived(rename.arrived);
    if (arrived.isFile() && !arrived.isSymLink()
        && arrived.absolutePath() == QFileInfo(rename.staging).absoluteFilePath()) {
        if (FileDragAndDrop::putIntoPlace(rename.arrived, rename.target, rename.overwrite).isEmpty())
            qCWarning(lcDeviceWindow) << "A copy from the phone could not be put into place:" << rename.target;
    }
    QDir(rename.staging).removeRecursively();
}

bool fileDragAndDropRenameDue(const FileDragAndDropRename& rename)
{
    const auto job = rename.job.lock();
    return !job || job->hasEnded();
}

void fileDragAndDropCheckRenames();

void fileDragAndDropScheduleRenameCheck()
{
    if (platform::runloop::pendingPerformRequestCount(&kFileDragAndDropRenameTarget) == 0)
        platform::runloop::performAfterDelay(&kFileDragAndDropRenameTarget, QLatin1String(kFileDragAndDropRenameCheck),
                                             FileDragAndDrop::kRenameCheckInterval, fileDragAndDropCheckRenames);
}

void fileDragAndDropCheckRenames()
{
    auto& renames = fileDragAndDropRenames();
    // Settling may run the loop of nobody, but take no chances with the
    // vector changing underneath: the due ones are taken out first.
    std::vector<FileDragAndDropRename> due;
    for (auto it = renames.begin(); it != renames.end();) {
        if (fileDragAndDropRenameDue(*it)) {
            due.push_back(*it);
            it = renames.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& rename : due)
        fileDragAndDropSettleRename(rename);
    if (!renames.empty())
        fileDragAndDropScheduleRenameCheck();
}

// The program's quit: copies that ended are put into place, the hidden
// folders of those that did not are removed (no partial file stays).
void fileDragAndDropSettleRenamesAtQuit()
{
    auto renames = std::move(fileDragAndDropRenames());
    fileDragAndDropRenames().clear();
    for (const auto& rename : renames) {
        if (fileDragAndDropRenameDue(rename))
            fileDragAndDropSettleRename(rename);
        else
            QDir(rename.staging).removeRecursively();
    }
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
    // A drop target may still read the copies: they get their grace even
    // when the helper goes first (the window's phone changed, the window
    // closed). Copies still being made are stopped; their worker removes them.
    const double now = platform::Clock::instance().now();
    for (const DragFolder& folder : folders_) {
        if (folder.copying) {
            folder.stop->store(true);
            continue;
        }
        removeDragFolderLater(folder.path, folder.expires < 0 ? kDragFolderGrace : folder.expires - now);
    }
    // Copies from the phone still on their way are put into place without
    // the helper.
    for (auto& rename : fileDragAndDropRenames())
        if (rename.owner == this)
            rename.owner = nullptr;
}

int FileDragAndDrop::pendingRenameCount() const
{
    const auto& renames = fileDragAndDropRenames();
    return int(
        std::count_if(renames.begin(), renames.end(), [this](const auto& rename) { return rename.owner == this; }));
}

QString FileDragAndDrop::putIntoPlace(const QString& file, const QString& target, bool replace)
{
    const QByteArray from = QFile::encodeName(file);
    if (replace) {
        // One step, over a file or a link (never followed).
        std::error_code error;
        std::filesystem::rename(from.toStdString(), QFile::encodeName(target).toStdString(), error);
        return error ? QString() : target;
    }
    const QFileInfo wanted(target);
    const QString name = wanted.fileName();
    const QDir folder = wanted.dir();
    for (int n = 1; n < 10000; ++n) {
        const QString candidate = n == 1
            ? target
            : folder.filePath(safeFileNameFromDescription(QStringLiteral("%1 %2").arg(n).arg(name)));
        // A hard link is made only where no name is: nothing is ever replaced.
        if (::link(from.constData(), QFile::encodeName(candidate).constData()) == 0) {
            ::unlink(from.constData());
            return candidate;
        }
        if (errno != EEXIST)
            return QString();
    }
    return QString();
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
        if (copyToComputer(item, destination, false))
            names.append(safeFileNameFromDescription(item->name()));
    }
    return names;
}

std::shared_ptr<QVAction> FileDragAndDrop::copyToComputer(const std::shared_ptr<DZDirectoryEntry>& entry,
                                                          const QString& folder, bool overwrite)
{
    DZDataManager* data = entry ? entry->manager() : nullptr;
    const QFileInfo target(folder);
    if (!data || !target.isDir())
        return nullptr;
    const QString dir = target.absoluteFilePath();
    if (!entry->isFile())
        return entry->copyToMacDirectory(dir);
    const auto& make = data->fileJobs().copyToMac;
    const QString safe = safeFileNameFromDescription(entry->name());
    if (safe == entry->name()) {
        if (!overwrite || !make)
            return entry->copyToMacDirectory(dir);
        return data->postAction(make(entry->fullExternalPath(), dir, entry->ftpFile()->fileSize(), true, entry));
    }
    if (!make)
        return nullptr;
    QTemporaryDir staging(QDir(dir).filePath(kStagingPrefix + QStringLiteral("XXXXXX")));
    if (!staging.isValid())
        return nullptr;
    staging.setAutoRemove(false);
    const auto job =
        data->postAction(make(entry->fullExternalPath(), staging.path(), entry->ftpFile()->fileSize(), true, entry));
    if (!job) {
        QDir(staging.path()).removeRecursively();
        return nullptr;
    }
    // The job names its file after the phone's name, inside the staging folder.
    const QString arrived = QDir(staging.path()).filePath(QFileInfo(entry->fullExternalPath()).fileName());
    static const bool settleAtQuit = (qAddPostRoutine(fileDragAndDropSettleRenamesAtQuit), true);
    Q_UNUSED(settleAtQuit);
    fileDragAndDropRenames().push_back({this, job, staging.path(), arrived, QDir(dir).filePath(safe), overwrite});
    fileDragAndDropScheduleRenameCheck();
    return job;
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

void FileDragAndDrop::makeDragCopies(const QList<QPair<QString, QString>>& fileAndName, const QObject* receiver,
                                     CopiesMade done)
{
    const QPointer<const QObject> to(receiver);
    const auto fail = [&] {
        platform::runloop::performOnMainThread([to, done] {
            if (to && done)
                done({});
        });
    };
    const QString root = dragRoot();
    if (!QDir().mkpath(root))
        return fail();
    QTemporaryDir made(QDir(root).filePath(QStringLiteral("drag-XXXXXX")));
    if (!made.isValid())
        return fail();
    const QString folder = made.path();
    QList<QPair<QString, QString>> plan;
    QStringList copies;
    QStringList taken;
    for (const auto& [file, name] : fileAndName) {
        QString safe = safeFileNameFromDescription(name);
        // Two files of one name get a number, never overwrite each other.
        for (int n = 2; taken.contains(safe, Qt::CaseInsensitive); ++n)
            safe = QStringLiteral("%1 %2").arg(n).arg(safeFileNameFromDescription(name));
        taken.append(safe);
        const QString target = QDir(folder).filePath(safe);
        if (QFileInfo(target).dir().absolutePath() != QDir(folder).absolutePath())
            return fail();   // the folder goes with `made`
        plan.append({file, target});
        copies.append(target);
    }
    made.setAutoRemove(false);
    auto stop = std::make_shared<std::atomic<bool>>(false);
    folders_.push_back({folder, -1, stop, true});
    const QPointer<FileDragAndDrop> self(this);
    QThreadPool::globalInstance()->start([plan, folder, copies, stop, self, to, done] {
        const bool whole = copyDragFiles(plan, *stop);
        if (!whole)
            QDir(folder).removeRecursively();
        platform::runloop::performOnMainThread([whole, folder, copies, self, to, done] {
            if (!self) {
                // The helper went (it stopped the copies, or they were just
                // whole): nobody has them.
                if (whole)
                    QDir(folder).removeRecursively();
                if (to && done)
                    done({});
                return;
            }
            const bool deliver = to && done;
            self->copiesFinished(folder, whole, !deliver);
            if (deliver)
                done(whole ? copies : QStringList());
        });
    });
}

void FileDragAndDrop::copiesFinished(const QString& folder, bool made, bool unused)
{
    const auto found =
        std::find_if(folders_.begin(), folders_.end(), [&](const DragFolder& entry) { return entry.path == folder; });
    if (found == folders_.end())
        return;
    if (!made) {
        folders_.erase(found);
        return;
    }
    found->copying = false;
    if (unused) {
        // Nobody drags them: they go as an ended drag's copies do.
        found->expires = platform::Clock::instance().now() + kDragFolderGrace;
        if (!sweep_.isActive())
            sweep_.start(kDragFolderGrace);
    }
}

int FileDragAndDrop::copiesInProgress() const
{
    return int(std::count_if(folders_.begin(), folders_.end(), [](const DragFolder& folder) { return folder.copying; }));
}

void FileDragAndDrop::dragEnded()
{
    const double now = platform::Clock::instance().now();
    for (DragFolder& folder : folders_)
        if (folder.expires < 0 && !folder.copying)
            folder.expires = now + kDragFolderGrace;
    if (!sweep_.isActive())
        sweep_.start(kDragFolderGrace);
}

void FileDragAndDrop::removeExpired()
{
    // Within a millisecond counts as due: the timer's fire time is rounded,
    // and a folder missed by a rounding would restart the timer at once,
    // over and over.
    const double now = platform::Clock::instance().now() + 1e-3;
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
        sweep_.start(std::max(1e-3, next - now));
}
