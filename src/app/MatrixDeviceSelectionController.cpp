#include "app/MatrixDeviceSelectionController.h"

#include "app/HistoryPhoneSheet.h"

#include "app/GuiGapWatch.h"
#include "app/MirrovanceDevice.h"
#include "app/TarnexController.h"
#include "app/TarnexDeviceMatrix.h"
#include "app/TarnexImages.h"
#include "app/TarnexKeys.h"
#include "phone/DeviceEntryMakers.h"
#include "widgets/TarnexAlertSheet.h"

#include "device/DeviceList.h"
#include "device/qvDeviceDB.h"
#include "foundation/FileManagerAdds.h"
#include "foundation/FormattingUtil.h"
#include "foundation/LaunchApplication.h"
#include "foundation/MoreProcesses.h"
#include "foundation/NamedLog.h"
#include "links/CommonAsyncDeviceIdentifier.h"
#include "links/USBSerialATChannel.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/BluetoothStack.h"
#include "platform/gui/Animation.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "usbdevice/DZDeviceProperties.h"
#include "usbdevice/DZUSBDeviceIdentifier.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace deviceentry;

namespace {

const QLatin1String kRowModel("Dorvanti.Model");
const QLatin1String kRowManufacturer("Dorvanti.Manufacturer");
const char* const kEntityNames[] = {"Contacts", "Calendar", "Notes", "Bookmarks"};

QString text(const char* key)
{
    return platform::localizedString(QLatin1String(key));
}

QString stringOf(const QVariantMap& entry, QLatin1String key)
{
    const QVariant value = entry.value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

void logXT(const QString& line)
{
    QVLOG(qvlog::kXT, line);
}

}   // namespace

namespace devicematrix {

QString tempDataPath(const QVariantMap& entry)
{
    QString model;
    if (const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB())
        model = db->getSettingsForDeviceByID(entry.value(kDeviceID)).value(kRowModel).toString();
    const QString base = QDir(platform::paths::applicationSupportDirectory()).filePath(QStringLiteral("TempData"));
    const QString resolved = QFileInfo(base).canonicalFilePath();
    return QDir(resolved.isEmpty() ? base : resolved)
        .filePath(FormattingUtil::makeTempDataFileName(model, entry.value(kSerialNo).toString()));
}

bool isSyncEngineSwitchedOn(const DeviceList& list, int index)
{
    const DeviceList::Entry entry = list.deviceEntry(index);
    if (!entry)
        return false;
    QVariant environment = entry->value(QLatin1String(kSyncWorkEnvironment));
    if (!environment.isValid())
        environment = entry->value(QLatin1String(kSyncEnvironment));
    if (environment.typeId() != QMetaType::QVariantMap)
        return false;
    return environment.toMap().value(QLatin1String(kSyncEngineEnabled)).toBool();
}

void switchOffSyncEngine(DeviceList& list, int index)
{
    const DeviceList::Entry stored = list.deviceEntry(index);
    if (!stored)
        return;
    auto entry = std::make_shared<QVariantMap>(*stored);
    QVariant work = entry->value(QLatin1String(kSyncWorkEnvironment));
    const QVariant kept = entry->value(QLatin1String(kSyncEnvironment));
    if (work.typeId() != QMetaType::QVariantMap)
        work = kept;
    if (work.typeId() != QMetaType::QVariantMap)
        return;
    QVariantMap workMap = work.toMap();
    workMap.insert(QLatin1String(kSyncEngineEnabled), false);
    entry->insert(QLatin1String(kSyncWorkEnvironment), workMap);
    if (kept.typeId() == QMetaType::QVariantMap) {
        QVariantMap keptMap = kept.toMap();
        keptMap.insert(QLatin1String(kSyncEngineEnabled), false);
        entry->insert(QLatin1String(kSyncEnvironment), keptMap);
    }
    list.writeDeviceAtIndex(entry, index);
    const QDir other(QDir(tempDataPath(*entry)).filePath(QLatin1String(kOtherDataFolder)));
    for (const char* name : kEntityNames)
        QFile::remove(other.filePath(QLatin1String(kStateFilePrefix) + QLatin1String(name)));
    const QString serial = entry->value(kSerialNo).toString();
    platform::NotificationCenter::defaultCenter().post(QLatin1String(kSyncEngineSwitchedOnOff), nullptr,
                                                       {{QStringLiteral("object"), serial}});
}

bool deviceIsPaired(const QVariantMap& entry)
{
    const QString address = stringOf(entry, kBTAddress);
    if (address.isEmpty())
        return false;
    const std::shared_ptr<platform::BluetoothDevice> device =
        platform::BluetoothStack::shared().deviceWithAddressString(address);
    return device && device->isPaired();
}

}   // namespace devicematrix

MatrixDeviceSelectionController::MatrixDeviceSelectionController() = default;

MatrixDeviceSelectionController::~MatrixDeviceSelectionController()
{
    platform::runloop::cancelPreviousPerformRequests(this);
    if (stopObserver_)
        platform::NotificationCenter::defaultCenter().removeObserver(stopObserver_);
    if (curIdentifier_ && !curIdentifierAlive_.expired())
        curIdentifier_->delegateIsNoLongerInterested();
}

QString MatrixDeviceSelectionController::defaultNibName() const
{
    return QLatin1String(tarnexkeys::kMatrixNib);
}

QString MatrixDeviceSelectionController::localizationKey() const
{
    return QLatin1String(tarnexkeys::kSelectKnownDevice);
}

DeviceList* MatrixDeviceSelectionController::deviceList() const
{
    TarnexController* host = tarnex();
    return host ? &host->deviceList() : nullptr;
}

void MatrixDeviceSelectionController::buildView()
{
    QWidget* view = wizardPaneView();
    if (!view || matrix_)
        return;
    if (auto* placeholder = view->findChild<QLabel*>(QStringLiteral("placeholderLabel")))
        placeholder->hide();
    auto* layout = qobject_cast<QVBoxLayout*>(view->layout());
    if (!layout) {
        layout = new QVBoxLayout(view);
    }
    displayString_ = new QLabel(view);
    displayString_->setObjectName(QStringLiteral("displayString"));
    displayString_->setAlignment(Qt::AlignCenter);
    QPalette palette = displayString_->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    displayString_->setPalette(palette);
    // Phones past the rows the pane holds are scrolled to.
    auto* scroll = new QScrollArea(view);
    scroll->setObjectName(QStringLiteral("connectedDevicesScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical { background: transparent; width: 8px; }"
                       "QScrollBar::handle:vertical { background: #5a5a5a; border-radius: 4px; min-height: 24px; }"
                       "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    matrix_ = new TarnexDeviceMatrix;
    scroll->setWidget(matrix_);
    matrix_->setAutoFillBackground(false);
    layout->addWidget(displayString_);
    layout->addWidget(scroll, 1);
    TarnexDeviceMatrix::Actions actions;
    actions.connect = [this](int tag) { connectToDevice(tag); };
    actions.remove = [this](int tag) { deleteDevice(tag); };
    actions.switchOffSync = [this](int tag) { switchOffSync(tag); };
    actions.canSwitchOffSync = [this](int tag) { return canSwitchOffSync(tag); };
    matrix_->setActions(std::move(actions));
}

void MatrixDeviceSelectionController::setStatus(const QString& line)
{
    if (displayString_)
        displayString_->setText(line);
}

void MatrixDeviceSelectionController::startProcessing()
{
    buildView();
    useSelectionImmediatly_ = false;
    isConnected_ = false;
    setUseAssistant(false);
    TarnexController* host = tarnex();
    TarnexPaneController::startProcessing();
    if (host && host->syncDirectionChanged()) {
        setStatus(QString());
        connectToDevice(lastItem_);
        return;
    }
    activate();
    setStatus(text("kSelectOrAddPhone"));
    if (matrix_ && matrix_->numberOfCells() == 0)
        newHandset(QString());
    if (matrix_) {
        matrix_->setFocus();
        matrix_->update();
    }
}

void MatrixDeviceSelectionController::stopProcessing()
{
    deactivate();
    if (matrix_)
        matrix_->setToolTip(QString());
    TarnexPaneController::stopProcessing();
}

void MatrixDeviceSelectionController::activate()
{
    if (matrix_)
        matrix_->setToolTip(text("ToolTipDevices"));
    if (!isConnected_)
        isConnected_ = getMFDevice() != nullptr;
    if (!stopObserver_)
        stopObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
            this, QLatin1String(tarnexkeys::kStopScanning), nullptr,
            [this](const platform::Notification&) { stopScanning(); });
    updateDeviceList();
}

void MatrixDeviceSelectionController::deactivate()
{
    if (stopObserver_)
        platform::NotificationCenter::defaultCenter().removeObserver(stopObserver_);
    stopObserver_ = 0;
}

void MatrixDeviceSelectionController::updateDeviceList()
{
    DeviceList* list = deviceList();
    if (!matrix_ || !list)
        return;
    matrix_->removeAll();
    for (int index = 0; index < list->count(); ++index) {
        const DeviceList::Entry entry = list->deviceEntry(index);
        if (!entry)
            continue;
        if (stringOf(*entry, kUSBPortName).isEmpty() && !devicematrix::deviceIsPaired(*entry))
            continue;
        QString picture = TarnexController::pictureNameForEntry(*entry);
        const QLatin1String bundle(platform::gui::kProgramBundle);
        if (!platform::gui::hasImage(bundle, picture)) {
            picture = TarnexController::fillFormat(QLatin1String(tarnexkeys::kBigPictureFormat), {picture});
            if (!platform::gui::hasImage(bundle, picture))
                picture = TarnexController::fillFormat(QLatin1String(tarnexkeys::kBigPictureFormat),
                                                       {QLatin1String(tarnexkeys::kDefaultHandyLogo)});
        }
        const QImage image = tarnex::image(picture);
        matrix_->addDevice(index, entry->value(kDeviceName).toString(), image,
                           devicematrix::isSyncEngineSwitchedOn(*list, index));
    }
    matrix_->updateTrackingRectCells(true);
}

void MatrixDeviceSelectionController::connectToDevice(int index)
{
    DeviceList* list = deviceList();
    TarnexController* host = tarnex();
    if (index < 0 || !list || !host)
        return;
    // One gesture connects once: a click and its double-click, or a click
    // while the phone is being opened, find the list no longer on show.
    if (connecting_ || host->currentPaneIndex() != host->paneIndexForKey(localizationKey()))
        return;
    const DeviceList::Entry entry = list->deviceEntry(index);
    if (!entry)
        return;
    if (!entry->contains(kSyncMode))
        host->setNewPhone(true);
    lastItem_ = index;
    GuiGapWatch::begin(QStringLiteral("the connect"));
    connecting_ = true;
    const bool filled = connectDeviceNr(index);
    connecting_ = false;
    if (!filled)
        return;
    if (stringOf(*entry, kUSBPortName).isEmpty() && !devicematrix::deviceIsPaired(*entry)) {
        logXT(QStringLiteral("This should not happen: An unpaired device appeared in the matrix"));
        return;
    }
    host->switchToNamedPane(QLatin1String(tarnexkeys::kConnectingPane), 1);
}

bool MatrixDeviceSelectionController::connectDeviceNr(int index)
{
    DeviceList* list = deviceList();
    if (index < 0 || !list)
        return false;
    const DeviceList::Entry entry = list->deviceEntry(index);
    if (!entry)
        return false;
    if (isScanning_) {
        stopScanning();
        platform::runloop::runFor(kStopScanWait);
    }
    return connectViaUSB(*entry) || connectViaBluetooth(*entry);
}

bool MatrixDeviceSelectionController::connectViaUSB(const QVariantMap& entry)
{
    const QString port = stringOf(entry, kUSBPortName);
    if (port.isEmpty())
        return false;
    QVariantMap properties{{QLatin1String(DZDeviceProperties::kPortNameKey), port}};
    if (entry.contains(kUSBVendorID))
        properties.insert(QLatin1String(DZDeviceProperties::kVendorIDKey), entry.value(kUSBVendorID));
    if (entry.contains(kUSBProductID))
        properties.insert(QLatin1String(DZDeviceProperties::kProductIDKey), entry.value(kUSBProductID));
    if (entry.contains(kSerialNo))
        properties.insert(QLatin1String(DZDeviceProperties::kSerialNumberKey), entry.value(kSerialNo));
    if (!isAttachedOverUSB(entry))
        return false;
    const std::shared_ptr<MirrovanceDevice> phone = mirrovanceDevice();
    if (!phone)
        return false;
    phone->setDeviceProperties(properties);
    phone->setDorvantiDict(entry, QLatin1String(kConnTypeUSBSerial));
    return true;
}

bool MatrixDeviceSelectionController::isAttachedOverUSB(const QVariantMap& entry)
{
    const std::optional<QVariantMap> found = USBSerialATChannel::availableConnection(entry);
    if (!found)
        return false;
    // The ids name a model, not a phone: the serial number was matched when
    // the phone has one on both sides; else the phone is the one at its own
    // port.
    const QLatin1String serialKey(DZDeviceProperties::kSerialNumberKey);
    if (!stringOf(entry, kSerialNo).isEmpty() && !found->value(serialKey).toString().isEmpty())
        return true;
    const QString port = stringOf(entry, kUSBPortName);
    const QLatin1String portKey(DZDeviceProperties::kPortNameKey);
    const QLatin1String vendorKey(DZDeviceProperties::kVendorIDKey);
    const QLatin1String productKey(DZDeviceProperties::kProductIDKey);
    const QVariant product = entry.value(kUSBProductID);
    DZUSBDeviceIdentifier scanner(false, true);
    for (const QVariantMap& attached : scanner.getUSBDevices().value_or(QList<QVariantMap>())) {
        if (!port.isEmpty() && attached.value(portKey).toString() == port
            && attached.value(vendorKey).toInt() == found->value(vendorKey).toInt()
            && (!product.isValid() || attached.value(productKey).toInt() == product.toInt()))
            return true;
    }
    logXT(QStringLiteral("isAttachedOverUSB: no phone of the model at %1").arg(port));
    return false;
}

bool MatrixDeviceSelectionController::connectViaBluetooth(const QVariantMap& entry)
{
    const QString address = stringOf(entry, kBTAddress);
    if (address.isEmpty())
        return false;
    const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
    const QVariantMap row = db ? db->getSettingsForDeviceByID(entry.value(kDeviceID)) : QVariantMap();
    if (row.isEmpty())
        return false;
    QString model = row.value(kRowModel).toString();
    if (model == QLatin1String("S78H"))
        model = QStringLiteral("SL78H");
    logXT(QStringLiteral("\n++++ Device identified as: %1 %2 ++++\n").arg(row.value(kRowManufacturer).toString(), model));
    const QVariantMap properties{
        {QLatin1String(DZDeviceProperties::kBTAddressKey), address},
        {QLatin1String(DZDeviceProperties::kHasPCSuiteKey), false},
        {QLatin1String(DZDeviceProperties::kDeviceNumberKey), entry.value(kDeviceID).toInt()},
        {QLatin1String(DZDeviceProperties::kBTModelNameKey), model},
        {QLatin1String(DZDeviceProperties::kBTUserNameKey), entry.value(kDeviceName)},
    };
    const std::shared_ptr<MirrovanceDevice> phone = mirrovanceDevice();
    if (!phone)
        return false;
    phone->setDeviceProperties(properties);
    phone->setDorvantiDict(entry, QLatin1String(kConnTypeBluetooth));
    return true;
}

void MatrixDeviceSelectionController::deleteDevice(int index)
{
    TarnexController* host = tarnex();
    if (!host || !deviceList() || !deviceList()->deviceEntry(index))
        return;
    platform::gui::beep();
    std::weak_ptr<int> alive = alive_;
    host->beginAlertSheet(
        text("RemoveRealDeviceTtl"), text("Cancel"), text("Remove"), QString(),
        [this, alive, index](int code) {
            if (!alive.expired() && code == TarnexAlertSheet::kAlternateReturn)
                removeDevice(index);
        },
        text("RemoveRealDeviceMsg"));
}

void MatrixDeviceSelectionController::removeDevice(int index)
{
    DeviceList* list = deviceList();
    const DeviceList::Entry entry = list ? list->deviceEntry(index) : nullptr;
    if (!entry)
        return;
    // The phone's archive is looked up before its entry goes; what becomes
    // of it is asked afterwards.
    const QString archive = HistoryPhoneSheet::archiveOf(*entry);
    const QString name = entry->value(QStringLiteral("Common.DeviceName")).toString();
    QDir(devicematrix::tempDataPath(*entry)).removeRecursively();
    if (TarnexController* host = tarnex())
        host->services().removeSyncClients(*entry);
    list->deleteDevice(index);
    platform::runloop::performAfterDelay(this, QStringLiteral("activate"), kRebuildDelay, [this] { activate(); });
    if (TarnexController* host = tarnex(); host && !archive.isEmpty())
        HistoryPhoneSheet::ask(*host, archive, name);
}

void MatrixDeviceSelectionController::forgetPhone(int index)
{
    DeviceList* list = deviceList();
    const DeviceList::Entry entry = list ? list->deviceEntry(index) : nullptr;
    if (!entry)
        return;
    QDir(devicematrix::tempDataPath(*entry)).removeRecursively();
    devicematrix::switchOffSyncEngine(*list, index);
    if (TarnexController* host = tarnex())
        host->services().removeSyncClients(*entry);
}

void MatrixDeviceSelectionController::cancelDeviceAdding()
{
    const std::shared_ptr<MirrovanceDevice> phone = mirrovanceDevice();
    DeviceList* list = deviceList();
    if (!phone || !list)
        return;
    const int index = list->getIndexFor(phone->dorvantiDict().value(kSerialNo).toString());
    if (index >= 0)
        removeDevice(index);
}

void MatrixDeviceSelectionController::switchOffSync(int index)
{
    DeviceList* list = deviceList();
    if (!list)
        return;
    devicematrix::switchOffSyncEngine(*list, index);
    platform::runloop::performAfterDelay(this, QStringLiteral("updateDeviceList"), kRebuildDelay,
                                         [this] { updateDeviceList(); });
}

bool MatrixDeviceSelectionController::canSwitchOffSync(int index) const
{
    DeviceList* list = deviceList();
    if (!list || !devicematrix::isSyncEngineSwitchedOn(*list, index))
        return false;
    const DeviceList::Entry entry = list->deviceEntry(index);
    const QString serial = entry ? stringOf(*entry, kSerialNo) : QString();
    if (serial.isEmpty())
        return false;
    // A phone that is open now keeps its sync engine.
    const std::shared_ptr<MirrovanceDevice> phone = mirrovanceDevice();
    return !(phone && phone->mfDevice() && stringOf(phone->dorvantiDict(), kSerialNo) == serial);
}

// The search for new phones.

QStringList MatrixDeviceSelectionController::identificationCommands()
{
    return {QStringLiteral("AT+CGMM"), QStringLiteral("AT+CGMI"), QStringLiteral("AT+CGSN"), QStringLiteral("AT+CGMR")};
}

double MatrixDeviceSelectionController::searchProgress(int candidates, int waiting, double percent)
{
    if (candidates <= 0)
        return 100.0;
    return 100.0 * (candidates - waiting - 1) / candidates + percent / candidates;
}

void MatrixDeviceSelectionController::newHandset(const QString& how)
{
    if (how == QLatin1String("add"))
        setUseAssistant(false);
    setStatus(text("kLookingForPhones"));
    if (useAssistant_) {
        runAssistant();
        return;
    }
    addNewDevicesNew();
}

void MatrixDeviceSelectionController::addNewDevicesNew()
{
    TarnexController* host = tarnex();
    if (!host || isScanning_)
        return;
    isScanning_ = true;
    host->setStopPhoneScan(false);
    host->setMissingPhoneButtonEnabled(false);
    numPhonesBefore_ = matrix_ ? matrix_->numberOfCells() : 0;
    DZUSBDeviceIdentifier scanner(false, true);
    checkDevices_ = scanner.getUSBDevices().value_or(QList<QVariantMap>());
    phonesToCheck_ = int(checkDevices_.size());
    if (checkDevices_.isEmpty()) {
        isScanning_ = false;
        setStatus(text("kChooseOrAssistant"));
        host->beginAlertSheet(text("No_devices"), text("Okay"), QString(), QString(), nullptr,
                              text("No_devices_Explain"));
    } else {
        host->startProgress(0, 100);
        processDisplay(0);
        processNextDevice();
    }
    host->setMissingPhoneButtonEnabled(true);
}

void MatrixDeviceSelectionController::processNextDevice()
{
    curIdentifier_ = nullptr;
    logXT(QStringLiteral("MatrixDeviceSelectionController: (processNextDevice) says %1 devices left over")
              .arg(checkDevices_.size()));
    if (checkDevices_.isEmpty()) {
        allDevicesProcessed(false);
        return;
    }
    curCandidate_ = checkDevices_.takeFirst();
    logXT(QStringLiteral("++processNextDevice: USB device '%1'")
              .arg(curCandidate_.value(QLatin1String(DZDeviceProperties::kPortNameKey)).toString()));
    auto* identifier = new CommonAsyncDeviceIdentifier(curCandidate_, QLatin1String(deviceentry::kConnTypeUSBSerial));
    curIdentifier_ = identifier;
    curIdentifierAlive_ = identifier->lifeToken();
    std::weak_ptr<int> alive = alive_;
    identifier->requestATCommands(identificationCommands(), this, [this, alive](CommonAsyncDeviceIdentifier& done) {
        if (!alive.expired())
            deviceIdentificationCallback(done);
    });
}

void MatrixDeviceSelectionController::deviceIdentificationCallback(CommonAsyncDeviceIdentifier& identifier)
{
    if (!identifier.isFinished()) {
        processDisplay(identifier.percentDone());
        return;
    }
    processDisplay(100);
    std::weak_ptr<int> alive = alive_;
    CommonAsyncDeviceIdentifier* done = &identifier;
    std::weak_ptr<const void> doneAlive = identifier.lifeToken();
    platform::runloop::performOnMainThread([this, alive, done, doneAlive] {
        if (alive.expired() || doneAlive.expired())
            return;
        if (done != curIdentifier_) {
            // A search stopped meanwhile: this identifier is nobody's now.
            done->closeAndFree();
            return;
        }
        deviceIdentificationFinished(done);
    });
}

void MatrixDeviceSelectionController::processDisplay(double percent)
{
    const double together = searchProgress(phonesToCheck_, int(checkDevices_.size()), percent);
    logXT(QString::asprintf("-- Percent base = %f new = %f together = %f",
                            searchProgress(phonesToCheck_, int(checkDevices_.size()), 0), percent, together));
    if (TarnexController* host = tarnex()) {
        host->setValuePercent(together);
        host->setMessageText(text("Looking for phones: %d %%")
                                 .replace(QLatin1String("%d"), QString::number(int(together)))
                                 .replace(QLatin1String("%%"), QLatin1String("%")));
    }
}

void MatrixDeviceSelectionController::deviceIdentificationFinished(CommonAsyncDeviceIdentifier* identifier)
{
    TarnexController* host = tarnex();
    if (identifier)
        logXT(QStringLiteral("[MatrixDeviceSelectionController deviceIdentificationFinished] finished <%1>\n")
                  .arg(identifier->identifyDevice()));
    else
        logXT(QStringLiteral("[MatrixDeviceSelectionController deviceIdentificationFinished] without device => Canceled"));
    if (!identifier || !host || host->stopPhoneScan()) {
        if (identifier)
            identifier->closeAndFree();
        curIdentifier_ = nullptr;
        allDevicesProcessed(true);
        return;
    }
    DeviceList* list = deviceList();
    const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
    bool isNew = false;
    std::optional<QVariantMap> entry;
    if (identifier->returnStatus() == 0 && list && db)
        entry = deviceentry::createDeviceDictionary(*list, *db, *identifier, curCandidate_, &isNew);
    if (entry) {
        const QVariantMap row = db->getSettingsForIdentification(identifier->identifyDevice());
        const QVariant speed = row.value(QStringLiteral("Dorvanti.TransferSpeed"));
        if (speed.isValid() && speed.toInt() < 0 &&
            identifier->connType() == QLatin1String(deviceentry::kConnTypeBluetooth)) {
            QString name = entry->value(kDeviceName).toString();
            if (name.isEmpty())
                name = text("phone");
            host->beginAlertSheet(text("kOnlyUSBAlertTitle"), text("OK"), QString(), QString(), nullptr,
                                  TarnexController::fillFormat(text("kOnlyUSBAlertMsg"), {name}));
        } else {
            list->writeDevice(std::make_shared<QVariantMap>(*entry));
            useSelectionImmediatly_ = false;
            if (isNew)
                logXT(QStringLiteral("just added device <%1> to device matrix")
                          .arg(entry->value(kSerialNo).toString()));
            updateDeviceList();
        }
    }
    logXT(QStringLiteral("MatrixDeviceSelectionController: (deviceIdentificationFinished) says %1 devices left over")
              .arg(checkDevices_.size()));
    // The identifier goes whether its channel opened or not.
    identifier->closeAndFree();
    curIdentifier_ = nullptr;
    platform::runloop::performAfterDelay(this, QStringLiteral("processNextDevice"),
                                         checkDevices_.isEmpty() ? 0 : kNextCandidateDelay,
                                         [this] { processNextDevice(); });
}

void MatrixDeviceSelectionController::allDevicesProcessed(bool stopped)
{
    isScanning_ = false;
    TarnexController* host = tarnex();
    if (!host)
        return;
    // The search's percentage goes with it, from every pane.
    host->setMessageText(QString());
    if (stopped)
        host->stopProgress();
    else
        host->stopProgressDelayed();
    host->setMissingPhoneButtonEnabled(true);
    if (stopped) {
        setStatus(text("kChooseOrAssistant"));
        return;
    }
    if (!matrix_ || matrix_->numberOfCells() <= numPhonesBefore_)
        host->warnNoNewPhones();
    platform::runloop::performAfterDelay(this, QStringLiteral("chooseText"), kChooseTextDelay,
                                         [this] { setStatus(text("kChooseOrAssistant")); });
}

void MatrixDeviceSelectionController::stopScanning()
{
    if (!isScanning_)
        return;
    checkDevices_.clear();
    platform::runloop::cancelPreviousPerformRequests(this, QStringLiteral("processNextDevice"));
    if (curIdentifier_ && !curIdentifierAlive_.expired())
        curIdentifier_->delegateIsNoLongerInterested();
    curIdentifier_ = nullptr;
    isScanning_ = false;
    deviceIdentificationFinished(nullptr);
}

QString MatrixDeviceSelectionController::seenPhonesFolder()
{
    return QDir(platform::paths::dataHome()).filePath(QStringLiteral("Phones"));
}

QVariantList MatrixDeviceSelectionController::getSeenPhones(const QString& folder,
                                                            const QStringList& supportedIdentifications)
{
    static const QString kMaker = QStringLiteral("com.apple.gmi");
    static const QString kModel = QStringLiteral("com.apple.gmm");
    QVariantList phones;
    const QStringList names = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QString path = QDir(folder).filePath(name + QStringLiteral("/Info.plist"));
        if (!QFileInfo::exists(path))
            continue;
        QString error;
        const QVariant read = platform::plist::readFile(path, &error);
        const QVariantMap record = read.toMap();
        const QString maker = record.value(kMaker).toString();
        const QString model = record.value(kModel).toString();
        if (read.typeId() != QMetaType::QVariantMap || maker.isEmpty() || model.isEmpty()) {
            logXT(QStringLiteral("getSeenPhones: skipping %1 (%2)")
                      .arg(path, error.isEmpty() ? QStringLiteral("no maker or model") : error));
            continue;
        }
        const QString identification = QStringLiteral("%1+%2").arg(maker, model);
        QVariantMap phone;
        phone.insert(QLatin1String(kSeenPhoneIdentification), identification);
        phone.insert(QLatin1String(kSeenPhoneRecord), record);
        phone.insert(QLatin1String(kSeenPhoneSupported), supportedIdentifications.contains(identification));
        phones << phone;
    }
    return phones;
}

QVariantList MatrixDeviceSelectionController::getSeenPhones()
{
    QStringList identifications;
    if (const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB()) {
        for (const QVariant& row : db->getAllDevicesMarvestoLG())
            identifications << row.toMap().value(QStringLiteral("Dorvanti.Identification")).toString();
    }
    return getSeenPhones(seenPhonesFolder(), identifications);
}

bool MatrixDeviceSelectionController::saveArchiveTo(const QString& archive, const QString& folder)
{
    if (!QFileInfo::exists(archive))
        return false;
    if (folder.isEmpty())
        return moveFileToUserTrash(archive);
    if (!QFileInfo(folder).isDir())
        return false;
    const QString name = generateTrashName(QFileInfo(archive).fileName(), folder);
    return doMoveItemAtPath(archive, QDir(folder).filePath(name));
}

MatrixDeviceSelectionController::ApplicationLauncher MatrixDeviceSelectionController::platformLauncher()
{
    static constexpr quint32 kAssistantCreator = fourCharCode("BTsa");
    const auto creatorFor = [](const QString& name) -> quint32 {
        if (name != QLatin1String(kBluetoothAssistant))
            return 0;
        if (applicationCandidatesForCreator(kAssistantCreator).isEmpty())
            registerCreatorApplications(kAssistantCreator,
                                        {QStringLiteral("blueman-assistant"), QStringLiteral("bluetooth-wizard")});
        return kAssistantCreator;
    };
    ApplicationLauncher launcher;
    launcher.launch = [creatorFor](const QString& name) {
        const QString application = findApplicationForCreator(creatorFor(name));
        return !application.isEmpty() && LaunchQVURLInFront(application) == 0;
    };
    launcher.isRunning = [creatorFor](const QString& name) {
        const quint32 creator = creatorFor(name);
        pid_t process = 0;
        return creator != 0 && MoreProcFindProcessByCreator(creator, &process) == 0;
    };
    return launcher;
}

bool MatrixDeviceSelectionController::makeDeviceDictionary(QVariantMap* newDictionary, bool* isNew,
                                                           const QVariantMap& wizard)
{
    DeviceList* list = deviceList();
    const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
    if (!list || !db)
        return false;
    bool made = false;
    const std::optional<QVariantMap> entry = deviceentry::makeQVDeviceDictionary(*list, *db, wizard, &made);
    if (!entry)
        return false;
    if (newDictionary)
        *newDictionary = *entry;
    if (isNew)
        *isNew = made;
    return true;
}

bool MatrixDeviceSelectionController::openAssistant()
{
    const QString name = QLatin1String(kBluetoothAssistant);
    if (!launcher_.launch || !launcher_.launch(name)) {
        logXT(QStringLiteral("openAssistant: could not start %1").arg(name));
        return false;
    }
    while (launcher_.isRunning && launcher_.isRunning(name))
        platform::runloop::runFor(kAssistantCheckInterval);
    return true;
}
