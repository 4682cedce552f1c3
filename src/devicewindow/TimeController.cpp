#include "devicewindow/TimeController.h"

#include "devicewindow/ToolView.h"

#include "devicewindow/DeviceWindowLog.h"

#include "phone/HistoryName.h"
#include "phone/MFDevice.h"

#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <map>

QList<TimeController::Snapshot> TimeController::snapshotsOf(const QStringList& states,
                                                            const QStringList& organizerFiles,
                                                            QStringList* unreadable)
{
    std::map<QDateTime, Snapshot> byTime;
    const auto collect = [&](const QStringList& files, const char* prefix, bool state) {
        for (int index = 0; index < files.size(); ++index) {
            const QDateTime time = historyname::timeOfName(QFileInfo(files.at(index)).fileName(), QLatin1String(prefix));
            if (!time.isValid() || !QFileInfo(files.at(index)).isFile()) {
                if (unreadable)
                    unreadable->append(files.at(index));
                continue;
            }
            Snapshot& made = byTime[time];
            made.time = time;
            (state ? made.stateIndex : made.organizerIndex) = index;
        }
    };
    collect(states, kStatePrefix, true);
    collect(organizerFiles, kOrganizerPrefix, false);
    QList<Snapshot> made;
    // A date that only one side has shows the other side as it was then.
    int lastState = -1;
    int lastOrganizer = -1;
    for (auto& [time, snapshot] : byTime) {
        if (snapshot.stateIndex < 0)
            snapshot.stateIndex = lastState;
        if (snapshot.organizerIndex < 0)
            snapshot.organizerIndex = lastOrganizer;
        lastState = snapshot.stateIndex;
        lastOrganizer = snapshot.organizerIndex;
        made.append(snapshot);
    }
    return made;
}

void TimeController::setMFDevice(MFDevice* device)
{
    device_ = device;
    snapshots_.clear();
    chosen_ = -1;
    if (!device)
        return;
    QStringList unreadable;
    snapshots_ = snapshotsOf(device->historyFiles(), device->historyOrganizerFiles(), &unreadable);
    for (const QString& path : std::as_const(unreadable))
        qCWarning(lcDeviceWindow) << "A snapshot of the archive cannot be read and is not shown:" << path;
}

QString TimeController::dateText(const QDateTime& time)
{
    return QLocale().toString(time, QLocale::ShortFormat);
}

QStringList TimeController::snapshotDates() const
{
    QStringList dates;
    for (const Snapshot& snapshot : snapshots_)
        dates.append(dateText(snapshot.time));
    return dates;
}

int TimeController::chooseSnapshot(int index)
{
    if (snapshots_.isEmpty())
        return -1;
    if (index < 0 || index >= snapshots_.size())
        index = int(snapshots_.size()) - 1;
    chosen_ = index;
    const Snapshot& snapshot = snapshots_.at(index);
    if (device_) {
        if (snapshot.stateIndex >= 0)
            device_->jumpToHistoryIndex(snapshot.stateIndex);
        if (snapshot.organizerIndex >= 0)
            device_->jumpToOrganizerHistoryIndex(snapshot.organizerIndex);
    }
    Q_EMIT snapshotChosen(index);
    return index;
}
