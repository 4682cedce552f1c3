#pragma once

#include "platform/UsbRegistrySimulated.h"

#include "PhoneSimulator.h"
#include "VirtualTime.h"

#include <gtest/gtest.h>
#include <memory>

// A simulated phone on a pseudo-terminal, attached as a USB modem to a
// simulated registry. The tests run in real time: the phone and the
// transport's reader are real threads, and every wait ends as soon as its
// answer is there.
class UsbPhoneFixture : public ::testing::Test {
protected:
    static constexpr int kVendor = 0x1004;
    static constexpr int kProduct = 0x6000;
    static constexpr const char* kSerial = "35201234";

    void SetUp() override
    {
        registry = std::make_shared<platform::UsbRegistrySimulated>();
        platform::UsbRegistry::setShared(registry);
    }
    void TearDown() override { platform::UsbRegistry::setShared(nullptr); }

    void attachPhone(const char* profile = "lg")
    {
        std::optional<phonesim::PhoneProfile> found = phonesim::PhoneProfile::named(QString::fromLatin1(profile));
        ASSERT_TRUE(found) << profile;
        // One phone at a time: a freed pseudo-terminal's name is soon reused.
        registry->clear();
        sim.reset();
        sim = std::make_unique<phonesim::PhoneSimulator>(std::move(*found));
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        platform::UsbDevice modem;
        modem.location = QStringLiteral("1-1");
        modem.vendorId = kVendor;
        modem.productId = kProduct;
        modem.vendorName = QStringLiteral("Phone Maker");
        modem.productName = QStringLiteral("Phone USB Modem");
        modem.serialNumber = QString::fromLatin1(kSerial);
        modem.ttyPaths = {sim->slavePath()};
        registry->addInterface(registry->addDevice(modem), 1, platform::UsbRegistry::kClassCdcData);
    }

    static QVariantMap wizDict()
    {
        return {{"vendorId", kVendor}, {"productId", kProduct}, {"serialNumber", kSerial}};
    }

    std::shared_ptr<platform::UsbRegistrySimulated> registry;
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    testing_support::RealTimeScope realTime;
};
