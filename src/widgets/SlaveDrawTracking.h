#pragma once

#include <QRect>
#include <QVariant>

class SelectToolViewList;

// Receives the pointer entering and leaving a small area of a tool-list row.
class SlaveDrawTracking {
public:
    virtual ~SlaveDrawTracking() = default;
    virtual void leaveSlaveTracking(SelectToolViewList& list, const QVariant& context) = 0;
    virtual void enterSlaveTracking(const QRect& rowFrame, SelectToolViewList& list, const QVariant& context) = 0;
    // The area to track, in the list's viewport coordinates.
    virtual QRect getSlaveWithFrame(const QRect& rowFrame, SelectToolViewList& list, const QVariant& context) = 0;
    // Whether an area is wanted now.
    virtual bool doSlaveTrackingslaveContext(const QVariant& context) = 0;
};
