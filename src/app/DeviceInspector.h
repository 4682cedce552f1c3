#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>

#include <optional>


// What the program knows of one phone: name, addresses, serial number,
// language and picture; with debugging on also its raw settings from the
// device list and the device database (form "DeviceInspectorWindow").
class DeviceInspector : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kWindowNibName = "DeviceInspectorWindow";
    static constexpr const char* kTitleKey = "%@ Inspector";
    static constexpr QSize kPictureSize{64, 112};

    explicit DeviceInspector(QWidget* parent = nullptr);

    // Kept until the window loads (the phone window calls this first).
    void setDeviceDict(const std::optional<QVariantMap>& deviceDict, const std::optional<QVariantMap>& deviceDBEntry,
                       const std::optional<QVariantMap>& generalDict);
    // Fills the window from what was set.
    void windowDidLoad();
    void synchronizeWindowTitleWithDocumentName() {}

    // An inspector for the phone's device-list entry, its model's row looked
    // up in the device database; shown and deleted when closed.
    static DeviceInspector* showInspector(const QVariantMap& entry, const std::optional<QVariantMap>& generalDict,
                                          QWidget* parent = nullptr);

    static QString usbIdentifiersText(int vendor, int model);
    static QString descriptionText(const QVariantMap& entry, const QVariantMap& row,
                                   const std::optional<QVariantMap>& syncMLParams,
                                   const std::optional<QVariantMap>& generalDict);

    QLineEdit* deviceName() const { return deviceName_; }
    QLineEdit* deviceBTAddress() const { return deviceBTAddress_; }
    QLineEdit* deviceModelVendor() const { return deviceModelVendor_; }
    QLineEdit* serialNumber() const { return serialNumber_; }
    QLineEdit* company() const { return company_; }
    QLineEdit* model() const { return model_; }
    QLineEdit* protocol() const { return protocol_; }
    QLineEdit* language() const { return language_; }
    QLabel* deviceIcon() const { return deviceIcon_; }
    QPlainTextEdit* deviceDescription() const { return deviceDescription_; }

private:
    QWidget* form_ = nullptr;
    QPointer<QLineEdit> deviceName_, deviceBTAddress_, deviceModelVendor_, serialNumber_, company_, model_, protocol_,
        language_;
    QPointer<QLabel> deviceIcon_;
    QPointer<QPlainTextEdit> deviceDescription_;
    std::optional<QVariantMap> deviceDict_;
    std::optional<QVariantMap> generalDict_;
    std::optional<QVariantMap> deviceDBEntry_;
};
