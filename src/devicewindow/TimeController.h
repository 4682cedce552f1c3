#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

class MFDevice;
#include "devicewindow/ToolView.h"

// The time tunnel of a history window: the dated snapshots of the archive
// (file-system states and organizer files, merged by time, oldest first),
// the one chosen for the file browser and the organizer, which center shows
// it, and the release of that center when the window stops being key.
class TimeController : public QObject {
    Q_OBJECT

public:
    struct Snapshot {
        QDateTime time;
        int stateIndex = -1;       // into the device's historyFiles(), -1: none at or before
        int organizerIndex = -1;   // into historyOrganizerFiles()
    };
    static constexpr const char* kStatePrefix = "MirrorFileSystem";
    static constexpr const char* kOrganizerPrefix = "OrganizerData";

    explicit TimeController(QObject* parent = nullptr) : QObject(parent) { }

    ToolView* currentController() const { return current_; }
    void setCurrentController(ToolView* center) { current_ = center; }
    void disengage(ToolView* center)
    {
        ++disengaged_;
        if (current_ == center)
            current_ = nullptr;
    }
    int disengageCount() const { return disengaged_; }

    // Reads the snapshot lists of the device; names that carry no readable
    // time are left out (and logged).
    void setMFDevice(MFDevice* device);
    MFDevice* device() const { return device_; }
    static QList<Snapshot> snapshotsOf(const QStringList& states, const QStringList& organizerFiles,
                                       QStringList* unreadable = nullptr);
    const QList<Snapshot>& snapshots() const { return snapshots_; }
    // The dates as the strip shows them.
    QStringList snapshotDates() const;
    static QString dateText(const QDateTime& time);
    int chosenSnapshot() const { return chosen_; }
    // Loads snapshot index into the file browser's tree and the organizer
    // (out of range: the newest); answers the index chosen.
    int chooseSnapshot(int index);

Q_SIGNALS:
    void snapshotChosen(int index);

private:
    QPointer<ToolView> current_;
    MFDevice* device_ = nullptr;
    QList<Snapshot> snapshots_;
    int chosen_ = -1;
    int disengaged_ = 0;
};
