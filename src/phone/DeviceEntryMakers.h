#pragma once

#include <QLatin1String>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <optional>

class CommonAsyncDeviceIdentifier;
class DeviceList;
class qvDeviceDB;

// The device-entry makers: turn a wizard result or a finished AT
// identification into an entry of the device list (keys "Common.*", "BT.*",
// "USB.*"), with the serial number and protocol family. An existing entry
// (same serial number) is updated in place; only a missing one gets the keys
// of a new entry. The device matrix, the device window and the teach-in all
// use these.
namespace deviceentry {

// Error shown when a phone keeps answering "busy" (or "pair") for its serial
// number.
constexpr int kSerialNumberBusyError = 52;
// How often a "busy" serial answer is asked again, and how long apart.
constexpr int kSerialNumberRetries = 3;
constexpr double kSerialNumberRetryWait = 1.0;
// The pause after the identifier of a Bluetooth phone is let go.
constexpr double kAfterIdentifierWait = 0.5;
// Channel number of a phone whose serial channel is not known.
constexpr int kUnknownChannel = 255;

// Keys of a device-list entry.
inline constexpr QLatin1String kSerialNo("Common.SerialNo");
inline constexpr QLatin1String kDeviceID("Common.qvDeviceID");
inline constexpr QLatin1String kAutoConnect("Common.AutoConnect");
inline constexpr QLatin1String kBackupDevice("Common.BackupDevice");
inline constexpr QLatin1String kDeviceProtocol("Common.DeviceProtocol");
inline constexpr QLatin1String kIdentifier("Common.Identifier");
inline constexpr QLatin1String kFirmware("Common.FirmwareVersion");
inline constexpr QLatin1String kDeviceName("Common.DeviceName");
inline constexpr QLatin1String kLastConnectionType("Common.LastConnectionType");
inline constexpr QLatin1String kSyncMode("Common.SyncMode");
inline constexpr QLatin1String kBTAddress("BT.BT_Address");
inline constexpr QLatin1String kBTChannel("BT.DeviceChannel");
inline constexpr QLatin1String kBTServiceName("BT.ServiceName");
inline constexpr QLatin1String kUSBPortName("USB.PortName");
inline constexpr QLatin1String kUSBProductID("USB.ProductID");
inline constexpr QLatin1String kUSBVendorID("USB.VendorID");

constexpr const char* kNewPhoneKey = "TarnexNewPhone";
constexpr const char* kConnTypeBluetooth = "Bluetooth";
constexpr const char* kConnTypeUSBSerial = "USB-Serial";

// What is known of a phone when its entry is made.
struct PhoneFacts {
    QString serial;
    QString btAddress;     // empty: not reached over Bluetooth
    QString deviceName;
    int channel = kUnknownChannel;
    QString serviceName;
    QString firmware;
    QString portName;      // empty: not reached over USB
    QVariant productId;    // the USB candidate's ids, when known
    QVariant vendorId;
};

// The protocol family: the model row's "Dorvanti.DeviceProtocol"; without a
// row "nokia" for a wizard result with a PC-suite service, else "default".
QString makeProtocolFromWizardDictionary(const QVariantMap& wizard, const QVariantMap& row);

// The serial number through ask (which asks the phone once): while the answer
// is "busy" it waits kSerialNumberRetryWait seconds (running the main loop)
// and asks again, at most kSerialNumberRetries more times. A final "busy" or
// a "pair" is no serial number: nothing, with kSerialNumberBusyError in
// *error. An empty answer is nothing with *error left alone.
// onRetry (may be empty) runs before each repeated question.
std::optional<QString> makeSerialNumber(const std::function<QString()>& ask, int* error = nullptr,
                                        const std::function<void()>& onRetry = {});
// The same for an identifier that finished its AT identification: "busy" is
// asked again with AT+CGSN.
std::optional<QString> makeSerialNumberFromDeviceIdentifier(CommonAsyncDeviceIdentifier& identifier,
                                                            int* error = nullptr,
                                                            const std::function<void()>& onRetry = {});

// The entry for a wizard result: the list's entry for the serial number, else
// a new one (model id "Wizard.QuorvalisDeviceID" as text, backup YES, the
// protocol family, the row's identification). Then the address, the channel,
// the USB port and ids (the wizard's "productId"/"vendorId", else the row's
// "Dorvanti.PS_USB_Model"/"Dorvanti.USB_Vendor", each only when non-zero),
// name, service name and firmware when given, the last connection type and
// auto-connect off.
QVariantMap makeQVDeviceDictionaryFromWizardDictionary(const DeviceList& list, const QVariantMap& wizard,
                                                       const QVariantMap& row, const PhoneFacts& facts,
                                                       bool* isNew);

// The entry for a Bluetooth wizard result ("Wizard.BluetoothAddress"): the
// phone is asked for its serial service and its serial number; the model row
// is the database's row for "Wizard.QuorvalisDeviceID", else "Unknown+Unknown".
// Nothing without address, serial number or row.
std::optional<QVariantMap> makeQVDeviceDictionary(const DeviceList& list, qvDeviceDB& db, const QVariantMap& wizard,
                                                  bool* isNew, int* error = nullptr);

// The entry for a phone the device matrix identified: identification is the
// identifier's "maker+model". Nothing without a serial number or without a
// model row whose "Dorvanti.supportsTarnexLG" is non-zero. A new entry gets
// the row's model id, protocol family and identification, backup NO; every
// entry the firmware, the connection ("Bluetooth" with an address, else
// "USB-Serial" with the port and the candidate's ids), the name, auto-connect
// off and "TarnexNewPhone".
std::optional<QVariantMap> createDeviceDictionary(const DeviceList& list, qvDeviceDB& db,
                                                  const QString& identification, const QString& connType,
                                                  const PhoneFacts& facts, bool* isNew);
// The same from a finished identifier and its USB candidate ("productId",
// "vendorId").
std::optional<QVariantMap> createDeviceDictionary(const DeviceList& list, qvDeviceDB& db,
                                                  CommonAsyncDeviceIdentifier& identifier,
                                                  const QVariantMap& candidate, bool* isNew, int* error = nullptr);

}   // namespace deviceentry
