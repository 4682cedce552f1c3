#pragma once

#include "platform/bluetooth/BluetoothStackSimulated.h"

#include "PhoneSimulator.h"
#include "ServiceRecords.h"
#include "VirtualTime.h"

#include <gtest/gtest.h>
#include <memory>

// A simulated phone reached over the simulated Bluetooth stack: its SDP
// records are its profile's, its AT channels connect to phonesim over a
// socket pair, its OBEX channels to phonesim's OBEX server straight in OBEX
// mode. Virtual time; each pass of a wait lets the phone's answers in.
class BluetoothPhoneFixture : public ::testing::Test {
protected:
    static constexpr const char* kAddress = "00:12:34:56:78:9a";

    void SetUp() override
    {
        stack = std::make_shared<platform::BluetoothStackSimulated>();
        platform::BluetoothStack::setShared(stack);
    }
    void TearDown() override { platform::BluetoothStack::setShared(nullptr); }

    static QString address() { return QString::fromLatin1(kAddress); }
    static QVariantMap connectionDict() { return {{QStringLiteral("BT.BT_Address"), address()}}; }

    // The phone with its profile's records (already read unless recordsKnown
    // is false) and phonesim behind its AT channels.
    void addPhone(const char* profile = "lg", bool recordsKnown = true)
    {
        const QString name = QString::fromLatin1(profile);
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(name));
        QList<platform::SdpServiceRecord> records;
        for (const QVariantMap& description : phonesim::ServiceRecords::forProfile(name))
            records.append(*platform::BluetoothStackSimulated::recordFromJson(description));
        addPhoneWithRecords(records, recordsKnown);
        for (int channel : phonesim::ServiceRecords::atChannels(name))
            stack->setChannelConnector(address(), quint8(channel), [this] { return sim->connectSocketPair(); });
        for (int channel : phonesim::ServiceRecords::obexChannels(name))
            stack->setChannelConnector(address(), quint8(channel), [this] { return sim->connectObexSocketPair(); });
    }
    void addPhoneWithRecords(const QList<platform::SdpServiceRecord>& records, bool recordsKnown = true)
    {
        stack->addDevice(address(), QStringLiteral("Phone"), true, records, recordsKnown);
    }

    std::shared_ptr<platform::BluetoothStackSimulated> stack;
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    testing_support::OutsideInputScope outside;
};
