#pragma once

#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <memory>

class MFDevice;
class QVAction;

// The phone's field-length limits before its first sync: for a model whose
// sync protocol is "Samsung AT" a preprocessing job reads them from the phone
// and they are kept in the file "FieldLengths" beside the phone's sync
// anchors; every later connection reads that file. One preprocessor serves
// the application controller and the main window's phone object.
class DevicePreprocessor {
public:
    // I/O statuses of the job: still running, and what a job that ends
    // "busy" counts as.
    static constexpr int32_t kBusy = int32_t(0xE00002D5);
    static constexpr int32_t kIOError = int32_t(0xE00002CA);
    static constexpr double kWaitSlice = 0.1;
    // The wait for a job beyond the job's own time-out.
    static constexpr double kGraceAfterTimeout = 5.0;
    // The wait for a job that has no time-out of its own.
    static constexpr double kDefaultJobTimeout = 60.0;
    static constexpr const char* kSamsungProtocol = "Samsung AT";
    static constexpr const char* kFieldLengthsFile = "FieldLengths";

    // Makes the Samsung contacts job in its preprocessing form, reporting to
    // the preprocessor (endAction, preprocessingDone); none until the Samsung
    // organizer jobs are there.
    using JobMaker = std::function<std::shared_ptr<QVAction>(MFDevice& device, DevicePreprocessor& receiver)>;
    static void setJobMaker(JobMaker maker);
    // Where the archive keeps a phone's sync anchors (the anchor file's
    // path); empty while the phone has no archive.
    using AnchorPath = std::function<QString(MFDevice& device)>;
    static void setAnchorPath(AnchorPath path);

    // The field-length file of the phone; empty without an archive.
    static QString devFieldLenFilePath(MFDevice& device);
    // Whether the model reads its field lengths with the preprocessing job.
    static bool needsPreprocessing(MFDevice& device);

    // Runs the job and waits for its end, bounded by its own time-out plus
    // kGraceAfterTimeout. Answers the job's status: 0 when all went well
    // (and for a model without preprocessing), kIOError for a refused job,
    // one that ended busy or did not end in time.
    int32_t preprocessDevice(MFDevice& device);
    // Field lengths at connect time: the preprocessing for a new phone or a
    // phone without the file, else the file's lengths into the phone's sync
    // description. False when the preprocessing failed.
    bool loadFieldLengths(MFDevice& device, bool isNewDevice);

    // The job's reports: its field lengths ("prepDict") and status.
    void endAction(const QVariantMap& prepDict, int32_t error);
    void preprocessingDone(int32_t returnStatus);
    int32_t state() const { return state_; }
    bool isWaiting() const { return waiting_; }

private:
    MFDevice* device_ = nullptr;
    int32_t state_ = 0;
    bool waiting_ = false;
};
