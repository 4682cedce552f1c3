#pragma once

// What the file tree and the data manager ask of a job besides QVAction:
// whether it reports progress (the tree then shows the entry as updating),
// and which organizer type it reads. Jobs that can answer implement these.
class DZProgressJob {
public:
    virtual ~DZProgressJob() = default;
    virtual bool doesActionWantProgress() const = 0;
};

class DZSyncPropertyJob {
public:
    virtual ~DZSyncPropertyJob() = default;
    virtual int syncProperty() const = 0;
};
