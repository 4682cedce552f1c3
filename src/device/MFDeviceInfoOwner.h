#pragma once

#include <QString>

// What a phone's settings need from the phone object that owns them: the
// names of its organizer databases (0 contacts, 1 calendar, 2 notes,
// 3 bookmarks, 4 SMS, 5 events, 6 tasks).
class MFDeviceInfoOwner {
public:
    virtual ~MFDeviceInfoOwner() = default;
    virtual QString dbName(int organizerType) const = 0;
};
