#include "app/MirrovanceDevice.h"

#include "app/AppController.h"
#include "app/AppLog.h"
#include "app/DZDocumentController.h"
#include "app/MobileDeviceDocument.h"

#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/DorvantiWindow.h"
#include "devicewindow/media/MediaInputFormat.h"
#include "foundation/NamedLog.h"
#include "lumwick/QVWizardCallbacks.h"
#include "phone/MFDevice.h"
#include "phone/SynchronizationFeedbackConsumer.h"
#include "platform/Exception.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "usbdevice/DZDeviceProperties.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

constexpr const char* kSerialNoKey = "Common.SerialNo";
constexpr const char* kDeviceIDKey = "Common.qvDeviceID";

QString localized(const char* key)
{
    return platform::localizedString(QLatin1String(key));
}

} // namespace

MirrovanceDevice::MirrovanceDevice(AKPaneController* controller)
    : DeviceExpert(controller)
{
}

MirrovanceDevice::~MirrovanceDevice() = default;

std::shared_ptr<MirrovanceDevice> MirrovanceDevice::withDeviceExpert(const DeviceExpert& expert)
{
    auto phone = std::make_shared<MirrovanceDevice>(expert.controller());
    phone->setProperties(expert.properties());
    phone->setDevice(expert.device());
    return phone;
}

void MirrovanceDevice::init()
{
    dorvantiDict_.clear();
    connType_.clear();
    if (isStressTestInProgress())
        setStressTestingMobileFromPreferences();
}

void MirrovanceDevice::setStressTestingMobileFromPreferences()
{
    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    setDeviceProperties(QVariantMap{
        {QLatin1String(DZDeviceProperties::kDeviceNumberKey),
         defaults.integer(QLatin1String(kStressTestDeviceID))},
        {QLatin1String(DZDeviceProperties::kBTAddressKey),
         defaults.string(QLatin1String(kStressTestBluetoothAddress))},
        {QLatin1String(DZDeviceProperties::kBTModelNameKey), QLatin1String(kStressTestIgnored)},
        {QLatin1String(DZDeviceProperties::kBTUserNameKey), QLatin1String(kStressTestIgnored)},
    });
}

void MirrovanceDevice::setDorvantiDict(const QVariantMap& entry, const QString& connType)
{
    dorvantiDict_ = entry;
    connType_ = connType;
}

void MirrovanceDevice::setDeviceProperties(const QVariantMap& properties)
{
    if (properties == getPropertiesDictionary() && this->properties())
        return;
    DeviceExpert::setDeviceProperties(properties);
    didProcessDeviceChange_ = false;
}

bool MirrovanceDevice::isStressTestInProgress()
{
    return platform::UserDefaults::standard().boolValue(QLatin1String(kIsStressTest));
}

void MirrovanceDevice::createDorvantiStuffIfNeccessary()
{
    if (didProcessDeviceChange_ && mfDevice_)
        return;
    createDorvantiStuff();
    didProcessDeviceChange_ = true;
}

void MirrovanceDevice::createDorvantiStuff()
{
    recreateDorvantiStuff();
}

bool MirrovanceDevice::askOpenFailure()
{
    QMessageBox box(QMessageBox::Information, QString(), localized(kOpenFailedText));
    box.setObjectName(QStringLiteral("openFailedAlert"));
    QPushButton* quit = box.addButton(localized(kQuit), QMessageBox::AcceptRole);
    QPushButton* previous = box.addButton(localized(kPrevious), QMessageBox::RejectRole);
    quit->setObjectName(QStringLiteral("openFailedQuit"));
    previous->setObjectName(QStringLiteral("openFailedPrevious"));
    box.setDefaultButton(quit);
    box.setEscapeButton(previous);
    box.exec();
    return box.clickedButton() != quit;
}

void MirrovanceDevice::openFailed()
{
    if (!askOpenFailure()) {
        if (AppController* app = AppController::sharedAppController())
            app->terminate();
    }
    throw platform::Exception(QLatin1String(kOpenFailedName), QLatin1String(kOpenFailedReason));
}

void MirrovanceDevice::recreateDorvantiStuff()
{
    document_ = nullptr;
    mfDevice_.reset();
    AppController* app = AppController::sharedAppController();
    DZDocumentController* documents = DZDocumentController::sharedDocumentController();

    // The phone's window is still open (after a return to the phone list):
    // that document is the open phone.
    const QString serial = dorvantiDict_.value(QLatin1String(kSerialNoKey)).toString();
    if (documents && !serial.isEmpty()) {
        for (MobileDeviceDocument* open : documents->documents()) {
            if (open->mfDevice() && !open->mfDevice()->isHistory() && open->mfDevice()->isIdenticalTo(serial)) {
                QVLOG(qvlog::kXT, QStringLiteral("phone %1 is open already: its window comes to the front").arg(serial));
                document_ = open;
                mfDevice_ = open->mfDevice();
                open->showWindow(true);
                return;
            }
        }
    }

    auto window = std::make_unique<DeviceWindowController>(app);
    platform::runloop::runFor(kOpenWait);
    std::shared_ptr<MFDevice> device;
    if (hasDorvantiDict())
        device = window->openFromDeviceDictionary(getPropertiesDictionary(), dorvantiDict_, connType_);
    if (!device || !documents) {
        window.reset();
        openFailed();
    }

    auto document = std::make_unique<MobileDeviceDocument>(app, documents);
    DeviceWindowController* shown = window.get();
    document->addWindowController(std::move(window));
    document->provideSynchronizationFeedbackTo(dynamic_cast<SynchronizationFeedbackConsumer*>(mainController()));
    if (!document->setMFDevice(device, nullptr)) {
        shown->setMFDevice(nullptr);
        document.reset();
        openFailed();
    }
    MobileDeviceDocument* added = documents->addDocument(std::move(document));
    if (!preprocessor_.loadFieldLengths(*device, false)) {
        added->close();
        openFailed();
    }
    document_ = added;
    mfDevice_ = device;
    shown->showWindow();
    shown->showConnected();
    added->startBackgroundActionsSoon();
}

void MirrovanceDevice::releaseDorvantiStuff()
{
    document_ = nullptr;
    mfDevice_.reset();
    setProperties(nullptr);
    setDevice(nullptr);
}

void MirrovanceDevice::preprocessDevice(MFDevice& device)
{
    preprocessor_.preprocessDevice(device);
}

QString MirrovanceDevice::devFieldLenFilePath(MFDevice& device) const
{
    return DevicePreprocessor::devFieldLenFilePath(device);
}

bool MirrovanceDevice::handlesG722() const
{
    return dorvantiDict_.value(QLatin1String(kDeviceIDKey)).toInt() == kG722Model;
}

QSet<QString> MirrovanceDevice::allowedFileExtensionsForType(int type)
{
    const char* key = type == kPictures ? mediaformat::kPicture
        : type == kVideos               ? mediaformat::kVideo
        : type == kAudio                ? mediaformat::kAudio
                                        : nullptr;
    QSet<QString> extensions;
    if (!key)
        return extensions;
    const QStringList list = DeviceWindowController::getMediaInputFormat(QLatin1String(key))
                                 .split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& extension : list)
        extensions.insert(extension.trimmed().toLower());
    return extensions;
}
