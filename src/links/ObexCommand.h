#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <memory>

class QVDeviceCallback;

// A four-character code, most significant byte first.
constexpr quint32 fourCC(const char (&code)[5])
{
    return (quint32(quint8(code[0])) << 24) | (quint32(quint8(code[1])) << 16) | (quint32(quint8(code[2])) << 8)
        | quint32(quint8(code[3]));
}

// One queued file-system job for the phone's file-transfer connection: its
// command code, the job's callback, the folder it wants to be in, two
// arguments, and its status and result once done.
class ObexCommand {
public:
    static constexpr quint32 kOpen = fourCC("open");
    static constexpr quint32 kClose = fourCC("clos");
    static constexpr quint32 kSetDirectory = fourCC("setD");
    static constexpr quint32 kDirList = fourCC("ls-l");
    static constexpr quint32 kCopyToMobile = fourCC("cpCM");
    static constexpr quint32 kCopyToMac = fourCC("cpMC");
    static constexpr quint32 kDelete = fourCC("dele");
    static constexpr quint32 kNewFolder = fourCC("newF");
    static constexpr quint32 kPush = fourCC("push");
    static constexpr quint32 kDummy = fourCC("dumy");

    ObexCommand(quint32 command, std::shared_ptr<QVDeviceCallback> callback, QVariant wantedDirectory, QVariant param,
                QVariant param2);

    static std::shared_ptr<ObexCommand> commandWithData(quint32 command, std::shared_ptr<QVDeviceCallback> callback,
                                                        QVariant wantedDirectory, QVariant param, QVariant param2);
    static std::shared_ptr<ObexCommand> commandWithDataAsync(quint32 command,
                                                             std::shared_ptr<QVDeviceCallback> callback,
                                                             QVariant wantedDirectory, QVariant param, QVariant param2);
    // A dummy command ended at once with the error (the callback with it).
    static std::shared_ptr<ObexCommand> commandWithError(int error, std::shared_ptr<QVDeviceCallback> callback);

    QString description() const;

    const std::shared_ptr<QVDeviceCallback>& getDevCallback() const { return _devCallback; }
    bool isBusy() const { return _isBusy; }
    bool isEnqueued() const { return _isEnqueued; }
    quint32 getCmd() const { return _command; }
    const QVariant& getWantedDirectory() const { return _wantedDirectory; }
    const QVariant& getStepDirectory() const { return _stepDirectory; }
    const QVariant& getParam() const { return _param; }
    const QVariant& getParam2() const { return _param2; }
    const QVariant& getResult() const { return _retData; }
    int getStatus() const { return _status; }
    int retries() const { return _retries; }
    int reqPathLevel() const { return _reqPathLevel; }
    bool isDirCommandForCaseModification() const { return _isDirCommandForCaseModification; }
    const QVariant& userInfo() const { return _userInfo; }

    void enqueue() { _isEnqueued = true; }
    // Stores status and result and ends the busy time; unless silent, ends
    // the callback with them. A failure other than a cancel is logged.
    void setStatusAndResultSilent(int status, const QVariant& result, bool silent);
    void setStatusValue(int status) { _status = status; }
    void setStepDirectory(const QVariant& folder, int reqLevel);
    void setParam(const QVariant& param) { _param = param; }
    void retry() { ++_retries; }
    void makeItDirCommandForCase(bool on) { _isDirCommandForCaseModification = on; }
    void setUserInfo(const QVariant& userInfo) { _userInfo = userInfo; }

private:
    quint32 _command = 0;
    std::shared_ptr<QVDeviceCallback> _devCallback;
    QVariant _wantedDirectory;
    QVariant _stepDirectory;
    QVariant _param;
    QVariant _param2;
    bool _isBusy = true;
    bool _isEnqueued = false;
    int _status = 0;
    QVariant _retData;
    int _retries = 0;
    int _reqPathLevel = -1;
    bool _isDirCommandForCaseModification = false;
    QVariant _userInfo;
};
