#pragma once

#include <QString>

class BusyModalSession;
class QWidget;

// The busy sheet a phone's synchronization reports to: its window's busy
// overlay, or the main window's. A session runs from its start until its end;
// poll answers -1002 while it continues.
class SynchronizationFeedbackConsumer {
public:
    virtual ~SynchronizationFeedbackConsumer() = default;

    virtual BusyModalSession* startBusyModalSession(QWidget* view, int percent) = 0;
    virtual int pollBusyModalSession(BusyModalSession* session) = 0;
    virtual void endBusyModalSession(BusyModalSession* session) = 0;
    virtual void doProgressBusyIncrement(double step) = 0;
    virtual void doProgressBusyMessage(const QString& text) = 0;
};
