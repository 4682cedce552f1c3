#pragma once

#include <QString>
#include <QtGlobal>

class ObexCommand;

// The receiver of a file job's progress and end, on the main thread.
class FTPReceiver {
public:
    virtual ~FTPReceiver() = default;
    virtual void displayError(int error, const QString& msgParam)
    {
        Q_UNUSED(error);
        Q_UNUSED(msgParam);
    }
    virtual void notifyFinishedJob(ObexCommand& command) = 0;
    virtual void showPushProgress(double bytes, double processed)
    {
        Q_UNUSED(bytes);
        Q_UNUSED(processed);
    }
    virtual void showExtendedProgress(double bytes, float prozDone)
    {
        Q_UNUSED(bytes);
        Q_UNUSED(prozDone);
    }
    virtual void showProgress(double bytes, float prozDone) = 0;
};
