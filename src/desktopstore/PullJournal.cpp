#include "desktopstore/PullJournal.h"

#include "desktopstore/DesktopStoreLog.h"
#include "foundation/NamedLog.h"
#include "platform/Exception.h"
#include "platform/FileIO.h"
#include "platform/PropertyList.h"
#include "syncengine/SyncEngineNames.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace desktopstore {

namespace {

const QString kStagingFolder = QStringLiteral(".marvesto-pull");
const QString kPlanFile = QStringLiteral("plan.plist");
const QString kWritesKey = QStringLiteral("Writes");
const QString kRemovalsKey = QStringLiteral("Removals");
const QString kFoldersKey = QStringLiteral("Folders");
const QString kExtraKey = QStringLiteral("Extra");

void log(const QString& message)
{
    qCInfo(lcDesktopStore).noquote() << message;
    QVLOG(qvlog::kSE, message);
}

// A path the plan may name: relative, inside the root, not in the staging folder.
bool isInsideRoot(const QString& relative)
{
    if (relative.isEmpty() || relative.startsWith(QLatin1Char('/')) || relative.contains(QLatin1Char('\0')))
        return false;
    const QStringList parts = relative.split(QLatin1Char('/'));
    return parts.first() != kStagingFolder && std::none_of(parts.cbegin(), parts.cend(), [](const QString& p) {
               return p.isEmpty() || p == QLatin1String(".") || p == QLatin1String("..");
           });
}

bool moveFile(const QString& from, const QString& to)
{
    QDir().mkpath(to.section(QLatin1Char('/'), 0, -2));
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

PullJournal::PullJournal(QString rootPath) : m_root(std::move(rootPath))
{
}

void PullJournal::write(const QString& relative, const QByteArray& data)
{
    m_writes.append({relative, data});
}

void PullJournal::remove(const QString& relative)
{
    m_removals.append(relative);
}

void PullJournal::removeFolder(const QString& relative)
{
    m_folders.append(relative);
}

bool PullJournal::isEmpty() const
{
    return m_writes.isEmpty() && m_removals.isEmpty() && m_folders.isEmpty();
}

void PullJournal::prepare(const QVariantMap& extra, const StepObserver& step)
{
    clearStaging(m_root);
    const QString staging = m_root + QLatin1Char('/') + kStagingFolder + QLatin1Char('/');
    QVariantList writes;
    for (int i = 0; i < m_writes.size(); ++i) {
        QString error;
        if (!platform::writeFileAtomically(staging + QString::number(i), m_writes[i].data, &error)) {
            log(QStringLiteral("Desktop store: %1 not written: %2").arg(m_writes[i].relative, error));
            clearStaging(m_root);
            throw platform::Exception(platform::ISyncSessionUnavailableException, error);
        }
        writes.append(QVariant(QStringList{m_writes[i].relative, QString::number(i)}));
        if (step)
            step();
    }
    QString error;
    if (!platform::plist::writeFile(
            staging + kPlanFile,
            QVariantMap{{kWritesKey, writes}, {kRemovalsKey, m_removals}, {kFoldersKey, m_folders}, {kExtraKey, extra}},
            &error)) {
        log(QStringLiteral("Desktop store: the plan of a pull not written: %1").arg(error));
        clearStaging(m_root);
        throw platform::Exception(platform::ISyncSessionUnavailableException, error);
    }
    if (step)
        step();
}

void PullJournal::carryOut(const StepObserver& step)
{
    const QString staging = m_root + QLatin1Char('/') + kStagingFolder + QLatin1Char('/');
    for (int i = 0; i < m_writes.size(); ++i) {
        const QString staged = staging + QString::number(i);
        // Moved before a stop: nothing left to do for it.
        if (QFile::exists(staged) && !moveFile(staged, m_root + QLatin1Char('/') + m_writes[i].relative)) {
            log(QStringLiteral("Desktop store: %1 not written: %2")
                    .arg(m_writes[i].relative, QString::fromLocal8Bit(std::strerror(errno))));
            throw platform::Exception(platform::ISyncSessionUnavailableException,
                                      QStringLiteral("%1 not written").arg(m_writes[i].relative));
        }
        if (step)
            step();
    }
    for (const QString& relative : std::as_const(m_removals)) {
        const QString path = m_root + QLatin1Char('/') + relative;
        if (!QFile::remove(path) && QFile::exists(path))
            log(QStringLiteral("Desktop store: %1 could not be removed").arg(relative));
        if (step)
            step();
    }
    for (const QString& relative : std::as_const(m_folders))
        QDir(m_root).rmdir(relative);
}

void PullJournal::finish()
{
    clearStaging(m_root);
    m_writes.clear();
    m_removals.clear();
    m_folders.clear();
}

std::optional<QVariantMap> PullJournal::recover(const QString& rootPath)
{
    const QString plan = rootPath + QLatin1Char('/') + kStagingFolder + QLatin1Char('/') + kPlanFile;
    if (!QFile::exists(plan)) {
        clearStaging(rootPath);
        return std::nullopt;
    }
    QString error;
    const QVariantMap map = platform::plist::readFile(plan, &error).toMap();
    PullJournal journal(rootPath);
    bool valid = map.contains(kExtraKey);
    const QVariantList writes = map.value(kWritesKey).toList();
    for (int i = 0; i < writes.size() && valid; ++i) {
        const QVariantList w = writes[i].toList();
        // Staged files are numbered in the plan's order.
        valid = w.size() == 2 && w[1].toString() == QString::number(i) && isInsideRoot(w[0].toString());
        journal.m_writes.append({w.value(0).toString(), {}});
    }
    journal.m_removals = map.value(kRemovalsKey).toStringList();
    journal.m_folders = map.value(kFoldersKey).toStringList();
    for (const QStringList* list : {&journal.m_removals, &journal.m_folders})
        valid = valid && std::all_of(list->cbegin(), list->cend(), isInsideRoot);
    if (!valid) {
        log(QStringLiteral("Desktop store: the plan of an unfinished pull dropped: %1")
                .arg(error.isEmpty() ? QStringLiteral("not a plan") : error));
        clearStaging(rootPath);
        return std::nullopt;
    }
    log(QStringLiteral("Desktop store: finishing a pull that stopped part-way"));
    try {
        journal.carryOut({});
    } catch (const platform::Exception&) {
        // Logged; the plan stays for the next start.
        return std::nullopt;
    }
    return map.value(kExtraKey).toMap();
}

bool PullJournal::hasPlan(const QString& rootPath)
{
    return QFile::exists(rootPath + QLatin1Char('/') + kStagingFolder + QLatin1Char('/') + kPlanFile);
}

void PullJournal::clearStaging(const QString& rootPath)
{
    QDir staging(rootPath + QLatin1Char('/') + kStagingFolder);
    if (staging.exists())
        staging.removeRecursively();
}

} // namespace desktopstore
