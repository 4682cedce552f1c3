#pragma once

#include "platform/NotificationCenter.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <memory>

class ContactStore;
class DeviceWindowController;
class MFDevice;
class QLabel;
class QPushButton;
class QVAction;

// The dialling sheet of the contact card: dials a number on the phone with a
// dial job, shows whom it calls and how the call goes, and hangs up. The
// sheet ends (result 1) when the job ends well or the user hangs up with no
// job running; a failed job beeps and leaves its error text for the user to
// read before closing.
class DialingDialog : public QDialog {
    Q_OBJECT

public:
    // Makes the dial job for a number (ActionDialNumber by default).
    using JobMaker = std::function<std::shared_ptr<QVAction>(const QString& number)>;
    // Posts a job to the phone; false when refused (MFDevice::addAction by default).
    using JobPoster = std::function<bool(const std::shared_ptr<QVAction>& job)>;

    explicit DialingDialog(QWidget* parent = nullptr);
    // A call still running hangs up: nothing else could end it then.
    ~DialingDialog() override;

    // The address book that names the person called (none: the number alone).
    void setContactStore(const ContactStore* store);
    void setJobMaker(JobMaker maker) { m_makeJob = std::move(maker); }
    void setJobPoster(JobPoster poster) { m_postJob = std::move(poster); }

    // Dials number from controller's phone; false (and nothing shown) for an
    // empty number. The controller may be null in tests (the sheet then
    // shows as a plain window-modal dialog of its parent).
    bool doDialNumber(DeviceWindowController* controller, const QString& number);
    // The job's reports: its display text while it runs; at its end, code 0
    // ends the sheet, any other code beeps and shows the job's error text.
    void feedBackNotify(const platform::Notification& notification);
    // With a running job: cancels it (the phone hangs up) and shows "HangUp";
    // without: ends the sheet.
    void hangUp();
    // The sheet ended: stops following the job and closes.
    void phoneDialingSheetDidEnd(int returnCode);

    // What the sheet shows, and the job it follows (null when none).
    QString dialingNumberText() const;
    QString dialingStatusText() const;
    QString number() const { return m_number; }
    std::shared_ptr<QVAction> dialAction() const { return m_dialAction; }
    bool isSheetOpen() const { return m_open; }
    QPushButton* hangUpButton() const { return m_hangUpButton; }

    // Escape and closing the sheet hang up.
    void reject() override;

Q_SIGNALS:
    // The sheet ended with returnCode.
    void sheetEnded(int returnCode);

private:
    void endSheet(int returnCode);
    void stopObserving();

    QLabel* m_dialingNumber = nullptr;
    QLabel* m_dialingStatus = nullptr;
    QPushButton* m_hangUpButton = nullptr;
    QPointer<DeviceWindowController> m_mfController;
    MFDevice* m_mfDevice = nullptr;
    QString m_number;
    std::shared_ptr<QVAction> m_dialAction;
    QPointer<const ContactStore> m_store;
    JobMaker m_makeJob;
    JobPoster m_postJob;
    bool m_open = false;
    std::function<void()> m_sheetEnded;
};
