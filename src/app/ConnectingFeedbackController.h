#pragma once

#include "app/CopyFromMobileFeedbackController.h"

#include <QLabel>
#include <QPointer>

// The pane shown while the chosen phone is opened: stores the phone in the
// device list when needed, has the phone object open it and goes on to the
// contacts pane, or back to the phone list when the phone cannot be opened.
class ConnectingFeedbackController : public CopyFromMobileFeedbackController {
public:
    static constexpr const char* kConnectingPhone = "kConnectingPhone";
    static constexpr const char* kLogReturning = "couldn't connect to phone, returning to device selection";

    ConnectingFeedbackController();
    ~ConnectingFeedbackController() override;

    QString defaultNibName() const override;
    QString localizationKey() const override;

    void prepareForDisplay() override;
    void startProcessing() override;
    void stopProcessing() override;
    void goToNextPaneNow();
    // A job's feedback line in the status field.
    void progressInfo(const std::shared_ptr<QVFeedBack>& entry);
    bool doSkipProcessing() override { return false; }
    bool onlyScanNoCopy() const override { return true; }
    void setOnlyScannsWhatMobileSupports() {}

    QLabel* statusTextField() const { return statusTextfField_; }
    // Whether the phone is being opened now.
    bool isConnecting() const { return connecting_; }

private:
    void findOutlets();

    QPointer<QLabel> statusTextfField_;
    bool connecting_ = false;
};
