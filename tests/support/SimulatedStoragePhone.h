#pragma once

#include "phone/MFDevice.h"
#include "phone/USBMassStorageConnection.h"
#include "phonejobs/FileJobMakers.h"
#include "platform/UsbRegistrySimulated.h"

#include <memory>

// An LG phone plugged in as USB storage whose one volume is a folder of the
// computer, and the device makers that reach it through the real
// mass-storage connection. For tests that link the phone and job layers.
namespace testing_support {

inline constexpr int kStoragePhoneVendor = 0x1004;
inline constexpr int kStoragePhoneProduct = 0x6000;
inline const QString kStoragePhoneSerial = QStringLiteral("0123456789");

// Registers the phone on a simulated USB registry made shared; the caller
// keeps it and clears the shared registry when done.
inline std::shared_ptr<platform::UsbRegistrySimulated> plugInStoragePhone(const QString& volumeFolder)
{
    auto registry = std::make_shared<platform::UsbRegistrySimulated>();
    platform::UsbRegistry::setShared(registry);
    platform::UsbDevice d;
    d.location = QStringLiteral("1-2");
    d.vendorId = kStoragePhoneVendor;
    d.productId = kStoragePhoneProduct;
    d.vendorName = QStringLiteral("LG Electronics Inc.");
    d.productName = QStringLiteral("LG Mobile");
    d.serialNumber = kStoragePhoneSerial;
    d.volumes.append({QStringLiteral("sdb1"), volumeFolder});
    registry->addInterface(registry->addDevice(d), 0, platform::UsbRegistry::kClassMassStorage);
    return registry;
}

inline MFDevice::Makers storagePhoneMakers()
{
    MFDevice::Makers makers;
    filejobs::install(makers);
    makers.massStorageFTP = [](MFDevice& owner, const QVariantMap& dict) {
        return std::make_unique<USBMassStorageConnection>(owner, dict);
    };
    return makers;
}

// The device dictionary of the plugged-in phone.
inline std::shared_ptr<QVariantMap> storagePhoneDict()
{
    return std::make_shared<QVariantMap>(QVariantMap{{"USB.VendorID", kStoragePhoneVendor},
                                                     {"USB.ProductID", kStoragePhoneProduct},
                                                     {"Common.SerialNo", kStoragePhoneSerial}});
}

} // namespace testing_support
