#pragma once

#include "lumwick/AKPaneController.h"
#include "platform/NotificationCenter.h"
#include "platform/bluetooth/BluetoothStack.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>

#include <memory>

class DeviceExpert;

namespace platform {
class Timer;
}

// The pane after the device selection: pairs the chosen Bluetooth phone. It
// draws an eight-digit code and shows it large; the Bluetooth layer's pairing
// agent asks for the code (or for a passkey to confirm) and the pane answers.
// The outcome of the pairing decides: a paired phone is surveyed and
// identified and the host moves on; a failure shows why, removes the pairing
// and sends handlePreviousButton. Every wait runs on the platform clock;
// nothing sleeps the GUI thread.
class BluetoothPairingController : public AKPaneController, public platform::RfcommChannelDelegate {
public:
    // Delays of the pairing sequence, in seconds.
    static constexpr double kPauseBeforePairing = 0.5;
    static constexpr double kContinuationDelay = 5.0;
    static constexpr double kOutcomeDelay = 0.2;
    static constexpr double kPauseBeforeIdentifying = 0.5;
    static constexpr double kChannelCloseDelay = 0.1;
    static constexpr double kChannelLostWait = 3.0;
    static constexpr double kObexSlice = 0.1;
    // Page time-out of the pairing's baseband open, in slots.
    static constexpr int kPairingPageTimeout = 0x2000;
    static constexpr int kCodeMinimum = 10000000;
    static constexpr int kCodeEnd = 100000000;
    static constexpr int kPortNameLength = 15;
    // The expert's error for a paired phone that cannot be identified.
    static constexpr int kUnidentifiedError = 1;
    // The wizard result's serial port: its name and the dial-up channel.
    static constexpr const char* kSerialPortNameKey = "Wizard.BTSerialPortName";
    static constexpr const char* kDialupChannelKey = "Wizard.BTDialupChannel";
    static constexpr const char* kPortNameFormat = "QV_%1_DIALUP";

    BluetoothPairingController();
    ~BluetoothPairingController() override;

    QString defaultNibName() const override { return QStringLiteral("BluetoothPairingPane"); }
    QString localizationKey() const override { return QStringLiteral("kBluetoothPairing"); }

    void awakeFromNib();
    void resetGUITexts();
    void resetFlags();
    QString code() const { return m_code; }
    void setCode(const QString& code) { m_code = code; }
    bool pairingInProgress() const { return m_pairingInProgress; }
    void setPairingInProgress(bool inProgress);
    void resetChannel();

    bool doesDeviceNeedPairing() const;
    virtual bool didHandleUnsupportedDevice() { return false; }
    bool doSkipProcessing() override { return !doesDeviceNeedPairing(); }
    void prepareForDisplay() override;
    // Shows the instruction, lets the host go on and starts the pane's
    // pairing operation: a new code and an SDP query of the phone whose
    // completion (sdpQueryComplete) starts the pairing sequence.
    void startProcessing() override;
    // The earlier start: a new expert for the chosen phone, then the pairing.
    void oldStartProcessing();
    void stopProcessing() override;
    void generateCode();

    void generateSerialPort();
    void identifyCurrentDevice(const std::shared_ptr<platform::BluetoothDevice>& device);
    void pairingWithOBEXTrigger(const std::shared_ptr<platform::BluetoothDevice>& device);

    // The file-transfer callbacks of the OBEX trigger.
    void fileTransferServicesConnectionComplete(int error);
    void fileTransferServicesRetrieveFolderListingComplete(int error, const QVariantList& listing);
    void fileTransferServicesDisconnectionComplete(int error);
    void fileTransferServicesAbortComplete(int error);

    void cancelPairing();
    void startPairing();
    void connectionComplete(const std::shared_ptr<platform::BluetoothDevice>& device, int status);
    void continuePairing(const std::shared_ptr<platform::BluetoothDevice>& device);
    void sdpQueryComplete(const std::shared_ptr<platform::BluetoothDevice>& device, int status);
    // An agent request (the stand-in of the passkey dialog opening).
    void didLaunchApplePasswordConfirmationDialog(const platform::Notification& notification);
    void pairingFailed(int status);
    bool pairingComplete();

    // The RFCOMM trigger's channel.
    void rfcommChannelData(platform::RfcommChannel&, const QByteArray& data) override;
    void rfcommChannelOpenComplete(platform::RfcommChannel& channel, int status) override;
    void rfcommChannelClosed(platform::RfcommChannel& channel) override;
    void rfcommChannelWriteComplete(platform::RfcommChannel&, quint64, int) override {}

    // The port name for a phone name: control characters out, the first 15
    // characters, the address's digits for a name with nothing left.
    static QString serialPortBaseName(const QString& phoneName, const QString& address);

    // State, for the host and for tests.
    bool pairingSuccessful() const { return m_pairingSuccessful; }
    bool pinRequested() const { return m_pinRequested; }
    bool didCancelPairing() const { return m_didCancelPairing; }
    int connectionStatus() const { return m_connectionStatus; }
    bool isSpinning() const { return m_spinning; }
    QString errorText() const;
    QString statusText() const;
    QString instructionText() const;
    QString codeText() const;
    bool isAskingForConfirmation() const;
    QLabel* codeTextField() const { return m_codeTextField; }
    QPushButton* yesButton() const { return m_yesButton; }
    QPushButton* noButton() const { return m_noButton; }

protected:
    std::shared_ptr<DeviceExpert> expert() const;
    std::shared_ptr<platform::BluetoothDevice> expertDevice() const;

private:
    void loadOutlets();
    void startSpinner();
    void stopSpinner();
    void setError(const QString& key);
    void setStatus(const QString& key);
    void showInstruction();
    QString nameOrAddress() const;
    void closeExpertLink();
    void removeExpertPairing();
    void stopAttemptTimers();
    void continueStartPairing();
    void continueIdentifying(const std::shared_ptr<platform::BluetoothDevice>& device);
    void finishPairingComplete();
    void failLater(int status);
    void handleAgentRequest(int id);
    void askForConfirmation(quint32 passkey);
    void showConfirmation(bool shown);
    void answerConfirmation(bool yes);
    void endObexTrigger(const std::shared_ptr<platform::BluetoothDevice>& device);
    void sendObex(const QByteArray& packet);

    QPointer<QLabel> m_instructionMessageTextField;
    QPointer<QLabel> m_errorMessageTextField;
    QPointer<QLabel> m_codeTextField;
    QPointer<QLabel> m_pairingStatusTextField;
    QPointer<QProgressBar> m_pairingProgressIndicator;
    QPointer<QLabel> m_confirmQuestion;
    QPointer<QPushButton> m_yesButton;
    QPointer<QPushButton> m_noButton;
    QPointer<QShortcut> m_escape;

    quint8 m_channelID = 0;
    std::shared_ptr<platform::RfcommChannel> m_channel;
    QString m_code;
    bool m_pairingSuccessful = false;
    bool m_pairingInProgress = false;
    bool m_pinRequested = false;
    bool m_isOBEXBusy = false;
    bool m_didCancelPairing = false;
    bool m_spinning = false;
    bool m_observing = false;
    bool m_obexConnected = false;
    bool m_obexTrigger = false;
    int m_statusOpenBT = 0;
    int m_theSDPQueryIsFinished = 0;
    int m_connectionStatus = 0;
    // The query after a pairing has not ended yet.
    bool m_sdpPending = false;
    QByteArray m_obexInput;
    QString m_serialPortName;
    int m_dialupChannel = 0;

    std::unique_ptr<platform::Timer> m_pause;
    std::unique_ptr<platform::Timer> m_continuation;
    std::unique_ptr<platform::Timer> m_outcome;
    std::unique_ptr<platform::Timer> m_identify;
    std::unique_ptr<platform::Timer> m_nextPane;
    std::unique_ptr<platform::Timer> m_request;
    std::unique_ptr<platform::Timer> m_channelStep;
    // Changes with every attempt: completions of an earlier one are dropped.
    int m_attempt = 0;
    std::unique_ptr<QObject> m_guard;
};
