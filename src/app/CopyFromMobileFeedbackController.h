#pragma once

#include "app/TarnexPanes.h"

#include "platform/NotificationCenter.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <memory>

class QVFeedBack;

// The pane that shows a long job on the connected phone (a copy of its
// contents): a progress bar and status lines fed by the job's feedback, the
// move to the next pane when the job ends well, and a critical sheet when the
// communication with the phone breaks. The connecting pane builds on it.
class CopyFromMobileFeedbackController : public TarnexPaneController {
public:
    // End codes of a job.
    static constexpr int32_t kNothingToDo = 0xAC002;
    static constexpr int32_t kSuspended = 0xAC003;
    static constexpr int32_t kCancelled = 0xAC004;
    // A running entry's status.
    static constexpr int kStatusRunning = 1;
    static constexpr double kNextPaneDelay = 1.0;
    static constexpr double kEmptyBarDelay = 0.5;
    static constexpr int kBarMaximum = 100;

    CopyFromMobileFeedbackController();
    ~CopyFromMobileFeedbackController() override;

    QString defaultNibName() const override;
    QString localizationKey() const override;

    // Finds the outlets and starts listening for dying phone sessions; call
    // once the view is loaded.
    void awakeFromNib();

    // Hooks of the subclasses; here nothing.
    virtual void stopCopying() {}
    virtual void startCopying() {}

    // A job's feedback (the user info of its "QVFeedBackActionNotify").
    void feedBackDictNotify(const QVariantMap& userInfo);
    // A phone session died; only the session of this pane's phone counts.
    void sessionDiedError(const platform::Notification& notification);
    // The job's end code.
    void progressReady(int32_t code);
    virtual bool isErrorStatusWhileCopying() const { return false; }
    void progressInfo(const std::shared_ptr<QVFeedBack>& entry);
    // The copy job asks whether it should only count.
    virtual bool onlyScanNoCopy() const { return false; }

    void stopProcessing() override;
    void startProcessing() override;
    void prepareForDisplay() override;
    bool doSkipProcessing() override { return false; }

    void endProgressAndGoToNextPane();
    void endTheProgress();
    void resetProgress();
    void advanceProgressbar();
    void startProgress();
    void writeListOfProblematicFiles() {}
    // The critical sheet: Quit ends the program, Previous goes back to the
    // phone matrix.
    void tellUserToRestartHisMobileAndQuitMirrovance();
    void sheetDidEnd(int returnCode);
    // Whether the phone takes files of this extension as the media type
    // (4 pictures, 5 videos, 6 audio); case does not matter.
    bool isExtension(const QString& extension, int type) const;
    // The file type of a file name the phone's rules do not know.
    QString typeOfFileFromFilename(const QString& fileName) const;

    QProgressBar* progressBar() const { return progressBar_; }
    QLabel* feedbackTextField() const { return feedbackTextField_; }
    QLabel* percentDoneTextField() const { return percentDoneTextField_; }
    QLabel* whatsGoingOnAndErrorReportingTextField() const { return whatsGoingOnTextField_; }
    uint32_t numberOfTasks() const { return numberOfTasks_; }
    bool sessionDied() const { return sessionDied_; }

protected:
    QString localized(const QString& key) const;

private:
    void setDeterminate(bool determinate);

    QPointer<QProgressBar> progressBar_;
    QPointer<QLabel> feedbackTextField_;
    QPointer<QLabel> percentDoneTextField_;
    QPointer<QLabel> whatsGoingOnTextField_;
    uint32_t numberOfTasks_ = 0;
    bool sessionDied_ = false;
    bool observing_ = false;
};
