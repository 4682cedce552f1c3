#include "lumwick/BluetoothPairingController.h"

#include "lumwick/BluetoothDeviceExpert.h"
#include "lumwick/BluetoothUIServerHack.h"
#include "lumwick/DeviceExpert.h"
#include "lumwick/LumwickLog.h"
#include "lumwick/ModelQuery.h"
#include "lumwick/OrbitalexWizard.h"
#include "platform/Clock.h"
#include "platform/IOReturn.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

#include <QFont>
#include <QRandomGenerator>

#include <cmath>

using lumwick::localized;
using lumwick::lumwickLog;
using platform::BluetoothPairingAgent;
using platform::kIOReturnError;
using platform::kIOReturnNoDevice;
using platform::kIOReturnNotOpen;
using platform::kIOReturnOverrun;

namespace {
constexpr const char* kEnterTheKey = "kEnterTheKey";
constexpr const char* kWrongKeyTryAgain = "kWrongKeyTryAgain";
constexpr const char* kAnErrorOccured = "kAnErrorOccured";
constexpr const char* kConnecting = "kConnecting";
constexpr const char* kPairingOKAskingForInformation = "kPairingOKAskingForInformation";
constexpr const char* kPairingOK = "kPairingOK";
constexpr const char* kConfirmPasskey = "kConfirmPasskey";
constexpr const char* kYes = "kYes";
constexpr const char* kNo = "kNo";

// OBEX, as far as the trigger needs it: Connect to the file-transfer target,
// Disconnect, and the response code and length of an answer.
constexpr quint8 kObexConnect = 0x80;
constexpr quint8 kObexDisconnect = 0x81;
constexpr quint8 kObexSuccess = 0xA0;
constexpr quint8 kObexTargetHeader = 0x46;
constexpr int kObexInputLimit = 0x10000;
constexpr double kObexWaitLimit = 65.0;
constexpr double kObexDisconnectWait = 2.0;
const QByteArray kFolderBrowsingUuid =
    QByteArray::fromHex("F9EC7BC4953C11D2984E525400DC9E09");

QByteArray obexPacket(quint8 code, const QByteArray& body)
{
    const int length = 3 + int(body.size());
    QByteArray packet;
    packet.append(char(code)).append(char(length >> 8)).append(char(length & 0xff)).append(body);
    return packet;
}

QByteArray obexConnectPacket()
{
    QByteArray body;
    body.append(char(0x10)).append(char(0x00)).append(char(0xff)).append(char(0xfe));
    const int headerLength = 3 + int(kFolderBrowsingUuid.size());
    body.append(char(kObexTargetHeader)).append(char(headerLength >> 8)).append(char(headerLength & 0xff));
    body.append(kFolderBrowsingUuid);
    return obexPacket(kObexConnect, body);
}

QString passkeyText(quint32 passkey)
{
    return QStringLiteral("%1").arg(passkey, 6, 10, QLatin1Char('0'));
}
} // namespace

BluetoothPairingController::BluetoothPairingController()
    : m_pause(std::make_unique<platform::Timer>())
    , m_continuation(std::make_unique<platform::Timer>())
    , m_outcome(std::make_unique<platform::Timer>())
    , m_identify(std::make_unique<platform::Timer>())
    , m_nextPane(std::make_unique<platform::Timer>())
    , m_request(std::make_unique<platform::Timer>())
    , m_channelStep(std::make_unique<platform::Timer>())
    , m_guard(std::make_unique<QObject>())
{
}

BluetoothPairingController::~BluetoothPairingController()
{
    stopAttemptTimers();
    BluetoothUIServerHack::removeObserverForOpeningOfBluetoothDialog(this);
    if (m_channel) {
        m_channel->setDelegate(nullptr);
        m_channel->closeChannel();
    }
    m_code.clear();
}

void BluetoothPairingController::awakeFromNib()
{
    m_pairingSuccessful = false;
    loadOutlets();
}

void BluetoothPairingController::loadOutlets()
{
    QWidget* view = wizardPaneView();
    if (!view || m_codeTextField)
        return;
    m_instructionMessageTextField = paneOutlet<QLabel>(QStringLiteral("instructionMessageTextField"));
    m_errorMessageTextField = paneOutlet<QLabel>(QStringLiteral("errorMessageTextField"));
    m_codeTextField = paneOutlet<QLabel>(QStringLiteral("codeTextField"));
    m_pairingStatusTextField = paneOutlet<QLabel>(QStringLiteral("pairingStatusTextField"));
    m_pairingProgressIndicator = paneOutlet<QProgressBar>(QStringLiteral("pairingProgressIndicator"));
    m_confirmQuestion = paneOutlet<QLabel>(QStringLiteral("confirmQuestion"));
    m_yesButton = paneOutlet<QPushButton>(QStringLiteral("yesButton"));
    m_noButton = paneOutlet<QPushButton>(QStringLiteral("noButton"));
    if (m_codeTextField) {
        m_codeTextField->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        m_codeTextField->setFocusPolicy(Qt::StrongFocus);
    }
    if (m_confirmQuestion)
        m_confirmQuestion->setText(localized(QString::fromLatin1(kConfirmPasskey)));
    if (m_yesButton) {
        m_yesButton->setText(localized(QString::fromLatin1(kYes)));
        QObject::connect(m_yesButton, &QPushButton::clicked, m_guard.get(), [this] { answerConfirmation(true); });
    }
    if (m_noButton) {
        m_noButton->setText(localized(QString::fromLatin1(kNo)));
        QObject::connect(m_noButton, &QPushButton::clicked, m_guard.get(), [this] { answerConfirmation(false); });
    }
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), view);
    m_escape->setContext(Qt::WindowShortcut);
    m_escape->setEnabled(false);
    QObject::connect(m_escape, &QShortcut::activated, m_guard.get(), [this] {
        if (m_pairingInProgress)
            cancelPairing();
    });
    showConfirmation(false);
    stopSpinner();
}

// --- texts and flags --------------------------------------------------------

void BluetoothPairingController::resetGUITexts()
{
    loadOutlets();
    for (QLabel* field : {m_instructionMessageTextField.data(), m_errorMessageTextField.data(),
                          m_codeTextField.data(), m_pairingStatusTextField.data()}) {
        if (field)
            field->clear();
    }
}

void BluetoothPairingController::resetFlags()
{
    m_pairingSuccessful = false;
    setPairingInProgress(false);
    m_pinRequested = false;
    m_didCancelPairing = false;
}

void BluetoothPairingController::setPairingInProgress(bool inProgress)
{
    m_pairingInProgress = inProgress;
    if (m_escape)
        m_escape->setEnabled(inProgress);
}

void BluetoothPairingController::resetChannel()
{
    if (m_channel)
        m_channel->setDelegate(nullptr);
    m_channel.reset();
    m_channelID = 0;
}

QString BluetoothPairingController::errorText() const
{
    return m_errorMessageTextField ? m_errorMessageTextField->text() : QString();
}

QString BluetoothPairingController::statusText() const
{
    return m_pairingStatusTextField ? m_pairingStatusTextField->text() : QString();
}

QString BluetoothPairingController::instructionText() const
{
    return m_instructionMessageTextField ? m_instructionMessageTextField->text() : QString();
}

QString BluetoothPairingController::codeText() const
{
    return m_codeTextField ? m_codeTextField->text() : QString();
}

bool BluetoothPairingController::isAskingForConfirmation() const
{
    return m_yesButton && !m_yesButton->isHidden();
}

void BluetoothPairingController::setError(const QString& key)
{
    loadOutlets();
    if (m_errorMessageTextField)
        m_errorMessageTextField->setText(key.isEmpty() ? QString() : localized(key));
}

void BluetoothPairingController::setStatus(const QString& key)
{
    loadOutlets();
    if (m_pairingStatusTextField)
        m_pairingStatusTextField->setText(key.isEmpty() ? QString() : localized(key));
}

void BluetoothPairingController::showInstruction()
{
    loadOutlets();
    if (m_instructionMessageTextField)
        m_instructionMessageTextField->setText(localized(QString::fromLatin1(kEnterTheKey)).arg(nameOrAddress()));
}

void BluetoothPairingController::startSpinner()
{
    loadOutlets();
    m_spinning = true;
    if (m_pairingProgressIndicator) {
        m_pairingProgressIndicator->setRange(0, 0);
        m_pairingProgressIndicator->show();
    }
}

void BluetoothPairingController::stopSpinner()
{
    m_spinning = false;
    if (m_pairingProgressIndicator)
        m_pairingProgressIndicator->hide();
}

// --- the phone --------------------------------------------------------------

std::shared_ptr<DeviceExpert> BluetoothPairingController::expert() const
{
    return mainController() ? mainController()->deviceExpert() : nullptr;
}

std::shared_ptr<platform::BluetoothDevice> BluetoothPairingController::expertDevice() const
{
    const std::shared_ptr<DeviceExpert> e = expert();
    if (!e)
        return nullptr;
    if (e->device())
        return e->device();
    const QString address = e->properties() ? e->properties()->btAddress() : QString();
    std::shared_ptr<platform::BluetoothDevice> device =
        address.isEmpty() ? nullptr : lumwick::withNSStringAddress(address);
    if (device)
        e->setDevice(device);
    return device;
}

QString BluetoothPairingController::nameOrAddress() const
{
    if (const auto device = expertDevice())
        return lumwick::displayName(device->name(), device->addressString());
    const std::shared_ptr<DeviceExpert> e = expert();
    const DZDeviceProperties* props = e ? e->properties().get() : nullptr;
    if (!props)
        return {};
    return props->btUserName().isEmpty() ? props->btAddress() : props->btUserName();
}

void BluetoothPairingController::closeExpertLink()
{
    if (const auto e = expert())
        e->closeConnection();
}

void BluetoothPairingController::removeExpertPairing()
{
    if (const auto device = expertDevice())
        lumwick::removePairing(*device);
}

bool BluetoothPairingController::doesDeviceNeedPairing() const
{
    const std::shared_ptr<DeviceExpert> e = expert();
    const DZDeviceProperties* props = e ? e->properties().get() : nullptr;
    if (!props || props->count() < 3 || props->deviceHasStalePairing())
        return true;
    // A phone an inquiry found holds its services besides name and address,
    // yet nothing identified it: without a pairing it needs one.
    return props->deviceNumber() <= 0 && e->isBluetoothExpert() && !e->isPaired();
}

// --- showing and leaving ----------------------------------------------------

void BluetoothPairingController::prepareForDisplay()
{
    setPreviousButtonEnabled(true);
    setNextButtonEnabled(false);
    resetGUITexts();
    resetFlags();
    stopSpinner();
}

void BluetoothPairingController::startProcessing()
{
    showInstruction();
    if (auto* host = dynamic_cast<QVWizardNextPaneSwitch*>(mainController()))
        host->enableChangeToNextPane(true);
    else
        setNextButtonEnabled(true);
    // The pane's pairing operation: the query's completion starts the
    // sequence.
    const auto device = expertDevice();
    if (!device)
        return;
    generateCode();
    if (m_codeTextField)
        m_codeTextField->setText(m_code);
    const int attempt = ++m_attempt;
    QPointer<QObject> guard(m_guard.get());
    const int status = device->performSdpQuery([this, guard, attempt, device](int result) {
        if (guard && attempt == m_attempt)
            sdpQueryComplete(device, result);
    });
    if (status != 0)
        sdpQueryComplete(device, status);
}

void BluetoothPairingController::oldStartProcessing()
{
    setNextButtonEnabled(false);
    generateCode();
    const std::shared_ptr<DeviceExpert> old = expert();
    const QString address = old && old->properties() ? old->properties()->btAddress() : QString();
    if (std::shared_ptr<BluetoothDeviceExpert> fresh = BluetoothDeviceExpert::expertForAddress(address, this))
        mainController()->setDeviceExpert(fresh);
    startPairing();
}

void BluetoothPairingController::stopAttemptTimers()
{
    for (platform::Timer* timer : {m_pause.get(), m_continuation.get(), m_outcome.get(), m_identify.get(),
                                   m_nextPane.get(), m_request.get(), m_channelStep.get()})
        timer->stop();
}

void BluetoothPairingController::stopProcessing()
{
    if (m_pairingInProgress)
        cancelPairing();
    ++m_attempt;
    m_sdpPending = false;
    stopAttemptTimers();
    BluetoothUIServerHack::removeObserverForOpeningOfBluetoothDialog(this);
    m_observing = false;
    if (m_channel) {
        const std::shared_ptr<platform::RfcommChannel> channel = m_channel;
        resetChannel();
        channel->closeChannel();
    }
    m_isOBEXBusy = false;
    showConfirmation(false);
    stopSpinner();
    if (const auto e = expert(); e && e->device())
        lumwick::reallyCloseConnection(*e->device());
}

void BluetoothPairingController::generateCode()
{
    m_code = QString::number(QRandomGenerator::system()->bounded(kCodeMinimum, kCodeEnd));
}

// --- the pairing sequence ---------------------------------------------------

void BluetoothPairingController::sdpQueryComplete(const std::shared_ptr<platform::BluetoothDevice>& device, int status)
{
    lumwickLog(QStringLiteral("sdpQuery is complete"));
    m_theSDPQueryIsFinished = 1;
    if (!device || device != expertDevice())
        return;
    if (status == 0)
        startPairing();
    else
        pairingFailed(status);
}

void BluetoothPairingController::startPairing()
{
    // One start at a time: a second call during the pause is the same start.
    if (m_pause->isActive())
        return;
    ++m_attempt;
    m_sdpPending = false;
    startSpinner();
    setError({});
    setPairingInProgress(true);
    m_didCancelPairing = false;
    BluetoothUIServerHack::removeObserverForOpeningOfBluetoothDialog(this);
    m_observing = false;
    const auto device = expertDevice();
    if (const auto pending = BluetoothUIServerHack::agent().pendingRequest();
        pending && device && pending->address == device->address())
        BluetoothUIServerHack::closeDialogIfOpen();
    m_pause->setCallback([this] { continueStartPairing(); });
    m_pause->start(kPauseBeforePairing);
}

void BluetoothPairingController::continueStartPairing()
{
    const auto device = expertDevice();
    if (!device) {
        pairingFailed(kIOReturnNoDevice);
        return;
    }
    if (m_pinRequested) {
        closeExpertLink();
        setError(QString::fromLatin1(kWrongKeyTryAgain));
    }
    removeExpertPairing();
    m_pinRequested = false;
    if (m_code.isEmpty())
        generateCode();
    if (m_codeTextField)
        m_codeTextField->setText(m_code);
    showInstruction();
    setStatus(QString::fromLatin1(kConnecting));
    if (wizardPaneView())
        wizardPaneView()->update();
    BluetoothUIServerHack::addObserverForOpeningOfBluetoothKeyDialog(
        this, [this](const platform::Notification& n) { didLaunchApplePasswordConfirmationDialog(n); });
    m_observing = true;
    const int attempt = m_attempt;
    QPointer<QObject> guard(m_guard.get());
    const int status = device->pair([this, guard, attempt, device](int result) {
        if (guard && attempt == m_attempt)
            connectionComplete(device, result);
    });
    if (status != 0)
        connectionComplete(device, status);
}

void BluetoothPairingController::didLaunchApplePasswordConfirmationDialog(const platform::Notification& notification)
{
    // Answered on the next pass, outside the agent's own call.
    const int id = notification.userInfo.value(QStringLiteral("id")).toInt();
    m_request->setCallback([this, id] { handleAgentRequest(id); });
    m_request->start(0);
}

void BluetoothPairingController::handleAgentRequest(int id)
{
    const std::optional<BluetoothPairingAgent::Request> request = BluetoothUIServerHack::agent().pendingRequest();
    if (!request || request->id != id)
        return;
    const auto device = expertDevice();
    if (!device || request->address != device->address()) {
        lumwickLog(QStringLiteral("pairing request for %1 refused: not the phone being paired")
                       .arg(request->address.toColonString()));
        BluetoothUIServerHack::agent().reject();
        return;
    }
    m_pinRequested = true;
    switch (request->kind) {
    case BluetoothPairingAgent::Kind::PinCode:
        // The user types on the phone what the pane shows.
        if (m_code.isEmpty())
            generateCode();
        if (m_codeTextField)
            m_codeTextField->setText(m_code);
        BluetoothUIServerHack::sendCode(m_code, true);
        break;
    case BluetoothPairingAgent::Kind::Passkey: {
        // A passkey has at most six digits: the code's last six.
        const QString passkey = m_code.right(6);
        if (m_codeTextField)
            m_codeTextField->setText(passkey);
        BluetoothUIServerHack::sendCode(passkey, true);
        break;
    }
    case BluetoothPairingAgent::Kind::Confirmation:
        askForConfirmation(request->passkey);
        break;
    case BluetoothPairingAgent::Kind::DisplayPasskey:
        if (m_codeTextField)
            m_codeTextField->setText(passkeyText(request->passkey));
        break;
    case BluetoothPairingAgent::Kind::DisplayPinCode:
        if (m_codeTextField)
            m_codeTextField->setText(request->pinCode);
        break;
    }
}

void BluetoothPairingController::askForConfirmation(quint32 passkey)
{
    if (m_codeTextField)
        m_codeTextField->setText(passkeyText(passkey));
    if (m_instructionMessageTextField)
        m_instructionMessageTextField->clear();
    showConfirmation(true);
    if (m_yesButton)
        m_yesButton->setFocus();
}

void BluetoothPairingController::showConfirmation(bool shown)
{
    for (QWidget* w : {static_cast<QWidget*>(m_confirmQuestion.data()), static_cast<QWidget*>(m_yesButton.data()),
                       static_cast<QWidget*>(m_noButton.data())}) {
        if (w)
            w->setVisible(shown);
    }
}

void BluetoothPairingController::answerConfirmation(bool yes)
{
    const auto request = BluetoothUIServerHack::agent().pendingRequest();
    showConfirmation(false);
    showInstruction();
    if (!request || request->kind != BluetoothPairingAgent::Kind::Confirmation)
        return;
    if (yes)
        BluetoothUIServerHack::sendEnterToApplicationNamed(QString::fromLatin1(BluetoothUIServerHack::kBluetoothUIServer));
    else
        BluetoothUIServerHack::agent().confirm(false);
}

void BluetoothPairingController::connectionComplete(const std::shared_ptr<platform::BluetoothDevice>& device,
                                                    int status)
{
    m_connectionStatus = status;
    m_statusOpenBT = status;
    showConfirmation(false);
    if (const auto pending = BluetoothUIServerHack::agent().pendingRequest();
        pending && device && pending->address == device->address())
        BluetoothUIServerHack::closeDialogIfOpen();
    m_continuation->setCallback([this, device] { continuePairing(device); });
    m_continuation->start(kContinuationDelay);
}

void BluetoothPairingController::failLater(int status)
{
    m_outcome->setCallback([this, status] { pairingFailed(status); });
    m_outcome->start(kOutcomeDelay);
}

void BluetoothPairingController::continuePairing(const std::shared_ptr<platform::BluetoothDevice>& device)
{
    switch (m_connectionStatus) {
    case platform::bluetooth::kPageTimeout:
        failLater(m_connectionStatus);
        return;
    case platform::bluetooth::kAuthenticationFailure:
        m_pinRequested = true;
        failLater(m_connectionStatus);
        return;
    case 0: {
        m_theSDPQueryIsFinished = 0;
        m_sdpPending = true;
        const int attempt = m_attempt;
        QPointer<QObject> guard(m_guard.get());
        const int sdp = device ? device->performSdpQuery([this, guard, attempt](int) {
            if (guard && attempt == m_attempt) {
                m_theSDPQueryIsFinished = 1;
                m_sdpPending = false;
            }
        })
                               : kIOReturnNoDevice;
        if (sdp != 0) {
            m_sdpPending = false;
            lumwickLog(QStringLiteral("performSDPQuery failed with 0x%1").arg(uint(sdp), 0, 16));
            pairingFailed(sdp);
            return;
        }
        if (m_connectionStatus == 0) {
            if (m_pinRequested && device->isPaired()) {
                m_outcome->setCallback([this] { pairingComplete(); });
                m_outcome->start(kOutcomeDelay);
            } else {
                failLater(m_connectionStatus);
            }
        }
        setPairingInProgress(false);
        return;
    }
    default:
        // Any other end of the pairing is a failure the user must see.
        if (device)
            lumwick::reallyCloseConnection(*device);
        BluetoothUIServerHack::removeObserverForOpeningOfBluetoothDialog(this);
        m_observing = false;
        setPairingInProgress(false);
        m_pinRequested = false;
        pairingFailed(m_connectionStatus);
        return;
    }
}

bool BluetoothPairingController::pairingComplete()
{
    BluetoothUIServerHack::removeObserverForOpeningOfBluetoothDialog(this);
    m_observing = false;
    m_pairingSuccessful = true;
    setStatus(QString::fromLatin1(kPairingOKAskingForInformation));
    setError({});
    const auto device = expertDevice();
    if (!device) {
        pairingFailed(kIOReturnNoDevice);
        return false;
    }
    if (const auto pending = BluetoothUIServerHack::agent().pendingRequest();
        pending && pending->address == device->address())
        BluetoothUIServerHack::closeDialogIfOpen();
    // A phone that never told its name goes on under its address (the
    // identification names it so).
    generateSerialPort();
    closeExpertLink();
    identifyCurrentDevice(device);
    return true;
}

void BluetoothPairingController::identifyCurrentDevice(const std::shared_ptr<platform::BluetoothDevice>& device)
{
    m_identify->setCallback([this, device] { continueIdentifying(device); });
    m_identify->start(kPauseBeforeIdentifying);
}

void BluetoothPairingController::continueIdentifying(const std::shared_ptr<platform::BluetoothDevice>& device)
{
    // The services come from the query the pairing started; the layer ends
    // it within its time limit.
    if (m_sdpPending) {
        m_identify->start(kOutcomeDelay);
        return;
    }
    const std::shared_ptr<DeviceExpert> e = expert();
    if (device != expertDevice())
        lumwickLog(QStringLiteral("TROUBLE: device not the expert's"));
    const QString address = device->addressString();
    const std::optional<DZDeviceProperties> surveyed = lumwick::getBTDeviceProperties(*device);
    QVariantMap dictionary = surveyed ? surveyed->getPropertiesDictionary() : QVariantMap();
    DZDeviceProperties props(dictionary);
    props.setBTAddress(address);
    if (props.btUserName().isEmpty())
        props.setBTUserName(lumwick::displayName(device->name(), address));
    // The query may run the main loop: the user may leave meanwhile.
    const int attempt = m_attempt;
    QPointer<QObject> guard(m_guard.get());
    const int model = ModelQuery::shared().qvIDForBTAddress(address, 0);
    if (!guard || attempt != m_attempt)
        return;
    props.setDeviceNumber(model);
    props.setBTModelName(ModelQuery::shared().modelNameForQVID(model));
    dictionary = props.getPropertiesDictionary();
    if (!m_serialPortName.isEmpty()) {
        dictionary.insert(QLatin1String(kSerialPortNameKey), m_serialPortName);
        dictionary.insert(QLatin1String(kDialupChannelKey), m_dialupChannel);
    }
    if (e)
        e->setDeviceProperties(dictionary);
    finishPairingComplete();
}

void BluetoothPairingController::finishPairingComplete()
{
    const std::shared_ptr<DeviceExpert> e = expert();
    const DZDeviceProperties* props = e ? e->properties().get() : nullptr;
    if (props && !props->btModelName().isEmpty() && props->deviceNumber() != ModelQuery::kProbeDevice) {
        if (e->isUnsupportedDevice() && didHandleUnsupportedDevice())
            return;
        stopSpinner();
        setStatus(QString::fromLatin1(kPairingOK));
        m_nextPane->setCallback([this] {
            if (QVWizardCallbacks* host = mainController())
                host->goToNextPane();
        });
        m_nextPane->start(0);
        return;
    }
    if (e)
        e->setError(kUnidentifiedError);
    removeExpertPairing();
    pairingFailed(kIOReturnError);
}

void BluetoothPairingController::pairingFailed(int status)
{
    closeExpertLink();
    removeExpertPairing();
    BluetoothUIServerHack::removeObserverForOpeningOfBluetoothDialog(this);
    m_observing = false;
    lumwickLog(QStringLiteral("Couldn't establish an authenticated connection to mobile - probably due to mistyped "
                              "number or communication problem"));
    if (const auto pending = BluetoothUIServerHack::agent().pendingRequest(); pending && expertDevice()
        && pending->address == expertDevice()->address())
        BluetoothUIServerHack::closeDialogIfOpen();
    setPairingInProgress(false);
    showConfirmation(false);
    Q_UNUSED(status);
    if (m_didCancelPairing)
        return;
    setError(QString::fromLatin1(m_pinRequested ? kWrongKeyTryAgain : kAnErrorOccured));
    setStatus({});
    stopSpinner();
    handlePreviousButton();
}

void BluetoothPairingController::cancelPairing()
{
    closeExpertLink();
    const auto device = expertDevice();
    ++m_attempt;
    stopAttemptTimers();
    if (device && device->isPairing())
        device->cancelPairing();
    if (const auto pending = BluetoothUIServerHack::agent().pendingRequest();
        pending && device && pending->address == device->address())
        BluetoothUIServerHack::closeDialogIfOpen();
    m_didCancelPairing = true;
    m_pinRequested = false;
    // A cancelled attempt ends without a word.
    pairingFailed(kIOReturnNotOpen);
    setStatus({});
    stopSpinner();
}

// --- the serial port --------------------------------------------------------

QString lumwick::uniqueSerialPortName(const QString& base, const QStringList& taken)
{
    if (!taken.contains(base))
        return base;
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("%1-%2").arg(base).arg(n);
        if (!taken.contains(candidate))
            return candidate;
    }
}

QString BluetoothPairingController::serialPortBaseName(const QString& phoneName, const QString& address)
{
    QString cleaned;
    for (QChar c : phoneName) {
        switch (c.category()) {
        case QChar::Other_Control:
            cleaned.append(u' ');
            continue;
        case QChar::Other_Format:
        case QChar::Other_NotAssigned:
        case QChar::Other_PrivateUse:
            continue;
        default:
            break;
        }
        cleaned.append(c == u'/' ? QChar(u'-') : c);
    }
    cleaned = cleaned.simplified();
    QString cut = cleaned.left(kPortNameLength);
    // Never half a character.
    if (!cut.isEmpty() && cut.back().isHighSurrogate())
        cut.chop(1);
    if (cut.isEmpty())
        cut = QString(address).remove(u':').remove(u'-');
    return cut;
}

void BluetoothPairingController::generateSerialPort()
{
    m_serialPortName.clear();
    m_dialupChannel = 0;
    const auto device = expertDevice();
    if (!device)
        return;
    const std::optional<platform::SdpServiceRecord> record =
        device->serviceRecordForUuid(platform::BluetoothUuid::uuid16(platform::kDialupNetworkingUuid));
    if (!record)
        return;
    const QString base =
        QString::fromLatin1(kPortNameFormat).arg(serialPortBaseName(device->name(), device->addressString()));
    auto* names = dynamic_cast<QVWizardSerialPortNames*>(mainController());
    m_serialPortName = names ? names->getUniqueSerialPortNameWithBaseString(base) : base;
    m_dialupChannel = record->rfcommChannelID().value_or(0);
    if (const std::shared_ptr<DeviceExpert> e = expert()) {
        QVariantMap dictionary = e->getPropertiesDictionary();
        dictionary.insert(QLatin1String(kSerialPortNameKey), m_serialPortName);
        dictionary.insert(QLatin1String(kDialupChannelKey), m_dialupChannel);
        e->setDeviceProperties(dictionary);
    }
}

// --- the OBEX trigger -------------------------------------------------------

void BluetoothPairingController::sendObex(const QByteArray& packet)
{
    if (!m_channel)
        return;
    for (int at = 0; at < packet.size();) {
        const int piece = std::min(int(packet.size()) - at, int(m_channel->mtu()));
        if (m_channel->writeSync(packet.constData() + at, piece) != 0)
            return;
        at += piece;
    }
}

void BluetoothPairingController::pairingWithOBEXTrigger(const std::shared_ptr<platform::BluetoothDevice>& device)
{
    if (!device || m_isOBEXBusy)
        return;
    const int attempt = ++m_attempt;
    QPointer<QObject> guard(m_guard.get());
    setPairingInProgress(true);
    m_didCancelPairing = false;
    m_obexConnected = false;
    m_obexInput.clear();
    if (!m_observing) {
        BluetoothUIServerHack::addObserverForOpeningOfBluetoothKeyDialog(
            this, [this](const platform::Notification& n) { didLaunchApplePasswordConfirmationDialog(n); });
        m_observing = true;
    }
    const std::optional<platform::SdpServiceRecord> record =
        device->serviceRecordForUuid(platform::BluetoothUuid::uuid16(platform::kObexFileTransferUuid));
    const std::optional<quint8> channelID = record ? record->rfcommChannelID() : std::nullopt;
    if (channelID) {
        m_channelID = *channelID;
        m_obexTrigger = true;
        m_isOBEXBusy = true;
        const auto openChannel = [this, device] {
            const int status = device->openRfcommChannelAsync(m_channelID, this, &m_channel);
            if (status != 0)
                fileTransferServicesConnectionComplete(status);
        };
        // The open is authenticated: an unpaired phone pairs first.
        if (device->isPaired()) {
            openChannel();
        } else {
            const int status = device->pair([this, guard, attempt, openChannel](int result) {
                if (!guard || attempt != m_attempt)
                    return;
                if (result == 0)
                    openChannel();
                else
                    fileTransferServicesConnectionComplete(result);
            });
            if (status != 0)
                fileTransferServicesConnectionComplete(status);
        }
        const int passes = int(std::ceil(kObexWaitLimit / kObexSlice));
        platform::runloop::waitUntil([this, guard, attempt] { return !guard || attempt != m_attempt || !m_isOBEXBusy; },
                                     kObexSlice, passes);
        if (!guard || attempt != m_attempt)
            return;
        if (m_isOBEXBusy) {
            lumwickLog(QStringLiteral("OBEX  Connection failed, I'm disappointed..."));
            m_isOBEXBusy = false;
        }
        if (m_obexConnected) {
            m_obexInput.clear();
            m_isOBEXBusy = true;
            sendObex(obexPacket(kObexDisconnect, {}));
            platform::runloop::waitUntil(
                [this, guard, attempt] { return !guard || attempt != m_attempt || !m_isOBEXBusy; }, kObexSlice,
                int(std::ceil(kObexDisconnectWait / kObexSlice)));
            if (!guard || attempt != m_attempt)
                return;
            m_isOBEXBusy = false;
            m_obexConnected = false;
        }
    }
    endObexTrigger(device);
}

void BluetoothPairingController::endObexTrigger(const std::shared_ptr<platform::BluetoothDevice>& device)
{
    if (m_channel) {
        const std::shared_ptr<platform::RfcommChannel> channel = m_channel;
        resetChannel();
        channel->closeChannel();
    }
    m_obexTrigger = false;
    const auto expertsDevice = expertDevice();
    if (m_pinRequested && expertsDevice && expertsDevice->isPaired())
        pairingComplete();
    else
        pairingFailed(kIOReturnError);
    Q_UNUSED(device);
    setPairingInProgress(false);
}

void BluetoothPairingController::fileTransferServicesConnectionComplete(int error)
{
    m_isOBEXBusy = false;
    m_obexConnected = error == 0;
    lumwickLog(error == 0 ? QStringLiteral("kOBEXSuccess  it is connected!")
                          : QStringLiteral("OBEX  Connection failed, I'm disappointed..."));
}

void BluetoothPairingController::fileTransferServicesRetrieveFolderListingComplete(int, const QVariantList&)
{
    lumwickLog(QStringLiteral("fileTransferServicesRetrieveFolderListingComplete"));
}

void BluetoothPairingController::fileTransferServicesDisconnectionComplete(int)
{
    lumwickLog(QStringLiteral("fileTransferServicesDisconnectionComplete"));
}

void BluetoothPairingController::fileTransferServicesAbortComplete(int)
{
    lumwickLog(QStringLiteral("fileTransferServicesAbortComplete"));
}

// --- the channel ------------------------------------------------------------

void BluetoothPairingController::rfcommChannelData(platform::RfcommChannel& channel, const QByteArray& data)
{
    if (&channel != m_channel.get() || !m_obexTrigger || !m_isOBEXBusy)
        return;
    if (m_obexInput.size() + data.size() > kObexInputLimit) {
        lumwickLog(QStringLiteral("OBEX answer too long"));
        fileTransferServicesConnectionComplete(kIOReturnOverrun);
        return;
    }
    m_obexInput += data;
    if (m_obexInput.size() < 3)
        return;
    const int length = quint8(m_obexInput.at(1)) << 8 | quint8(m_obexInput.at(2));
    if (length < 3) {
        lumwickLog(QStringLiteral("malformed OBEX answer"));
        fileTransferServicesConnectionComplete(kIOReturnError);
        return;
    }
    if (m_obexInput.size() < length)
        return;
    const bool success = quint8(m_obexInput.at(0)) == kObexSuccess;
    m_obexInput.clear();
    if (m_obexConnected) {
        m_isOBEXBusy = false;
        fileTransferServicesDisconnectionComplete(success ? 0 : kIOReturnError);
    } else {
        fileTransferServicesConnectionComplete(success ? 0 : kIOReturnError);
    }
}

void BluetoothPairingController::rfcommChannelOpenComplete(platform::RfcommChannel& channel, int status)
{
    if (&channel != m_channel.get())
        return;
    if (m_obexTrigger) {
        if (status != 0)
            fileTransferServicesConnectionComplete(status);
        else
            sendObex(obexConnectPacket());
        return;
    }
    if (status != 0) {
        resetChannel();
        setPairingInProgress(false);
        return;
    }
    const std::shared_ptr<platform::RfcommChannel> open = m_channel;
    resetChannel();
    open->closeChannel();
    m_channelStep->setCallback([this] {
        closeExpertLink();
        if (m_pinRequested) {
            pairingComplete();
        } else {
            lumwickLog(QStringLiteral(" channel without pairing : %1").arg(nameOrAddress()));
            pairingFailed(kIOReturnError);
        }
    });
    m_channelStep->start(kChannelCloseDelay);
}

void BluetoothPairingController::rfcommChannelClosed(platform::RfcommChannel& channel)
{
    if (&channel != m_channel.get())
        return;
    if (m_obexTrigger) {
        if (m_isOBEXBusy)
            fileTransferServicesConnectionComplete(kIOReturnNotOpen);
        return;
    }
    setPairingInProgress(false);
    resetChannel();
    m_channelStep->setCallback([this] {
        closeExpertLink();
        m_channelStep->setCallback([this] { pairingFailed(kIOReturnNotOpen); });
        m_channelStep->start(kChannelLostWait);
    });
    m_channelStep->start(kChannelCloseDelay);
}
