#pragma once

#include "app/DevicePreprocessor.h"
#include "app/MobileDeviceDocument.h"

#include "lumwick/DeviceExpert.h"

#include <QPointer>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <memory>

class MFDevice;

// The main window's current phone: what the device matrix chose (the phone's
// device-list entry, the connection type and a wizard-style properties
// dictionary) and, once opened, the open phone: its device window, MFDevice
// and document, which the document controller owns.
class MirrovanceDevice : public DeviceExpert {
public:
    // Defaults of an automated stress run.
    static constexpr const char* kIsStressTest = "isStressTest";
    static constexpr const char* kStressTestDeviceID = "stressTestDeviceID";
    static constexpr const char* kStressTestBluetoothAddress = "stressTestBluetoothAddress";
    static constexpr const char* kStressTestIgnored = "ignored";
    static constexpr double kOpenWait = 1.0;
    // The model that handles G.722 audio.
    static constexpr int kG722Model = 15373;
    // Media types of allowedFileExtensionsForType().
    enum MediaType { kPictures = 4, kVideos = 5, kAudio = 6 };
    // The open failure: the alert's texts and the exception the connecting
    // pane catches.
    static constexpr const char* kOpenFailedText = "56";
    static constexpr const char* kQuit = "kQuit";
    static constexpr const char* kPrevious = "kPrevious";
    static constexpr const char* kOpenFailedName = "NSInvalidArgumentException";
    static constexpr const char* kOpenFailedReason = "initializing Dorvanti Backend failed - panic";

    // Made for the main window with the device matrix pane as its pane.
    explicit MirrovanceDevice(AKPaneController* controller = nullptr);
    ~MirrovanceDevice() override;
    // Made from a wizard's expert: shares its pane, properties and device.
    static std::shared_ptr<MirrovanceDevice> withDeviceExpert(const DeviceExpert& expert);
    // Clears the entry and, when the user defaults ask for a stress run,
    // loads its properties.
    void init();
    void setStressTestingMobileFromPreferences();
    void checkExpectedStressTestValues() {}

    // The phone's device-list entry and how it is reached ("Bluetooth",
    // "USB-Serial"); empty until the device matrix sets them.
    void setDorvantiDict(const QVariantMap& entry, const QString& connType);
    const QVariantMap& dorvantiDict() const { return dorvantiDict_; }
    const QString& connType() const { return connType_; }
    bool hasDorvantiDict() const { return !dorvantiDict_.isEmpty(); }
    // New properties (different ones only) mean the open phone no longer
    // matches them.
    void setDeviceProperties(const QVariantMap& properties);
    bool didProcessDeviceChange() const { return didProcessDeviceChange_; }

    // Whether the user defaults ask for an automated stress run.
    static bool isStressTestInProgress();

    // The open phone; null while none is open.
    std::shared_ptr<MFDevice> mfDevice() const { return mfDevice_; }
    MobileDeviceDocument* document() const { return document_; }
    // The phone the connect hand-over opened.
    void setMFDevice(std::shared_ptr<MFDevice> device) { mfDevice_ = std::move(device); }

    // Opening: once per change of the properties, or again. Throws
    // platform::Exception (kOpenFailedName) when the phone cannot be opened
    // and the user goes back; quitting ends the program.
    void createDorvantiStuffIfNeccessary();
    void createDorvantiStuff();
    virtual void recreateDorvantiStuff();
    // Lets go of the open phone and its document (which stay open on their
    // own), the properties and the Bluetooth device.
    virtual void releaseDorvantiStuff();

    // Field lengths and the Samsung preprocessing.
    void preprocessDevice(MFDevice& device);
    QString devFieldLenFilePath(MFDevice& device) const;
    DevicePreprocessor& preprocessor() { return preprocessor_; }
    bool startAction() { return true; }
    bool processAction(float) { return true; }
    void endAction(const QVariantMap& prepDict, int32_t error) { preprocessor_.endAction(prepDict, error); }
    void preprocessingDone(int32_t returnStatus) { preprocessor_.preprocessingDone(returnStatus); }

    bool handlesG722() const;
    // The file extensions (lower case) of a media type; empty for others.
    static QSet<QString> allowedFileExtensionsForType(int type);
    void startCopyingFromMobileWithFeedbackConsumer(void*) {}

protected:
    // The open failure's question: true for Previous, false for Quit.
    virtual bool askOpenFailure();

private:
    [[noreturn]] void openFailed();

    bool didProcessDeviceChange_ = false;
    std::shared_ptr<MFDevice> mfDevice_;
    QPointer<MobileDeviceDocument> document_;
    QVariantMap dorvantiDict_;
    QString connType_;
    DevicePreprocessor preprocessor_;
};
