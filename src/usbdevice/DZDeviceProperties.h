#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

// What is known of one phone as a dictionary: the USB facts of a scan and the
// "Wizard." facts the setup assistant learns. Setters marked non-empty store
// only a value of length (or count) above 0; number getters answer 0 (NO) for
// a missing key. A value of the wrong type reads as absent: a number where a
// text belongs, a text that is no whole decimal number where a number belongs.
class DZDeviceProperties {
public:
    static constexpr const char* kBTUserNameKey = "Wizard.DeviceUserName";
    static constexpr const char* kStalePairingKey = "Wizard.HasDeviceStalePairing";
    static constexpr const char* kDeviceNumberKey = "Wizard.QuorvalisDeviceID";
    static constexpr const char* kBTModelNameKey = "Wizard.ModelName";
    static constexpr const char* kProductKey = "product";
    static constexpr const char* kPortNamesKey = "portNames";
    static constexpr const char* kMountPointsKey = "mountPoints";
    static constexpr const char* kBTAddressKey = "Wizard.BluetoothAddress";
    static constexpr const char* kHasSerialPortKey = "Wizard.HasSerialPort";
    static constexpr const char* kHasDialupKey = "Wizard.HasDialup";
    static constexpr const char* kHasOBEXKey = "Wizard.HasObex";
    static constexpr const char* kHasPCSuiteKey = "Wizard.HasPCSuite";
    static constexpr const char* kPCSuiteServiceRecordKey = "Wizard.PCSuiteServiceRecord";
    static constexpr const char* kSerialNumberKey = "serialNumber";
    static constexpr const char* kVendorKey = "vendor";
    static constexpr const char* kVendorIDKey = "vendorId";
    static constexpr const char* kProductIDKey = "productId";
    static constexpr const char* kLocationIDKey = "locationID";
    static constexpr const char* kPortNameKey = "portName";
    // Keys of a mount-point dictionary.
    static constexpr const char* kBSDNameKey = "bsdName";
    static constexpr const char* kMountPointKey = "mountPoint";

    static constexpr const char* kDescriptionFormat =
        "Device %1\nModel: %2\nquorvalis ID: %3\nproperties dictionary:\n%4";
    static constexpr const char* kUnknownUserName = "user name unknown";
    static constexpr const char* kUnknownModel = "model unknown";
    static constexpr const char* kNoProperties = "no properties known";

    DZDeviceProperties() = default;
    explicit DZDeviceProperties(const QVariantMap& dictionary) : _properties(dictionary) {}
    static DZDeviceProperties deviceProperties() { return {}; }
    static DZDeviceProperties devicePropertiesWithDictionary(const QVariantMap& dictionary)
    {
        return DZDeviceProperties(dictionary);
    }

    QVariantMap getPropertiesDictionary() const { return _properties; }
    QVariantMap& properties() { return _properties; }
    int count() const { return int(_properties.size()); }
    QString description() const;
    bool checkValidProps() const { return true; }

    QString btUserName() const { return string(kBTUserNameKey); }
    void setBTUserName(const QString& name) { setNonEmpty(kBTUserNameKey, name); }
    bool deviceHasStalePairing() const { return number(kStalePairingKey) != 0; }
    void setDeviceHasStalePairing(bool stale) { _properties.insert(kStalePairingKey, stale); }
    int deviceNumber() const { return int(number(kDeviceNumberKey)); }
    void setDeviceNumber(int model) { _properties.insert(kDeviceNumberKey, model); }
    QString btModelName() const { return string(kBTModelNameKey); }
    void setBTModelName(const QString& name) { setNonEmpty(kBTModelNameKey, name); }
    QString product() const { return string(kProductKey); }
    void setProduct(const QString& product) { setNonEmpty(kProductKey, product); }
    QVariantList portNames() const { return list(kPortNamesKey); }
    void setPortNames(const QVariantList& names);
    QVariantList mountPoints() const { return list(kMountPointsKey); }
    void setMountPoints(const QVariantList& mountPoints);
    QString btAddress() const { return string(kBTAddressKey); }
    void setBTAddress(const QString& address) { setNonEmpty(kBTAddressKey, address); }
    bool hasSerialPort() const { return number(kHasSerialPortKey) != 0; }
    void setHasSerialPort(bool has) { _properties.insert(kHasSerialPortKey, has); }
    bool hasDialup() const { return number(kHasDialupKey) != 0; }
    void setHasDialup(bool has) { _properties.insert(kHasDialupKey, has); }
    bool hasOBEX() const { return number(kHasOBEXKey) != 0; }
    void setHasOBEX(bool has) { _properties.insert(kHasOBEXKey, has); }
    bool hasPCSuite() const { return number(kHasPCSuiteKey) != 0; }
    void setHasPCSuite(bool has) { _properties.insert(kHasPCSuiteKey, has); }
    QByteArray pcSuiteServiceRecord() const;
    // Stores any record that is not null (an empty one too).
    void setPCSuiteServiceRecord(const QByteArray& record);
    QString serialNumber() const { return string(kSerialNumberKey); }
    void setSerialNumber(const QString& serial) { setNonEmpty(kSerialNumberKey, serial); }
    QString vendor() const { return string(kVendorKey); }
    void setVendor(const QString& vendor) { setNonEmpty(kVendorKey, vendor); }
    int vendorID() const { return int(number(kVendorIDKey)); }
    void setVendorID(int id) { _properties.insert(kVendorIDKey, id); }
    int productID() const { return int(number(kProductIDKey)); }
    void setProductID(int id) { _properties.insert(kProductIDKey, id); }
    qint64 locationID() const { return number(kLocationIDKey); }
    void setLocationID(qint64 location) { _properties.insert(kLocationIDKey, location); }
    QString portName() const { return string(kPortNameKey); }
    void setPortName(const QString& port) { setNonEmpty(kPortNameKey, port); }

    // Typed reads of any key: a string; an integer or boolean number (also
    // from whole decimal text); a list. Empty (0) when absent or of another
    // type.
    QString string(const char* key) const;
    qint64 number(const char* key) const;
    QVariantList list(const char* key) const;

private:
    void setNonEmpty(const char* key, const QString& value)
    {
        if (!value.isEmpty())
            _properties.insert(key, value);
    }

    QVariantMap _properties;
};
