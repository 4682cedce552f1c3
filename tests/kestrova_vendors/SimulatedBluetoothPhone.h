#pragma once

#include "platform/bluetooth/BluetoothStackSimulated.h"

#include "PhoneSimulator.h"
#include "ServiceRecords.h"

#include <memory>

// Makes a simulated phone a paired device of a new simulated Bluetooth stack
// (shared for the program), with its profile's service records and its
// channels served by the simulator.
inline void shareAsBluetoothPhone(phonesim::PhoneSimulator& sim, const QString& profile, const QString& address)
{
    auto stack = std::make_shared<platform::BluetoothStackSimulated>();
    platform::BluetoothStack::setShared(stack);
    QList<platform::SdpServiceRecord> records;
    for (const QVariantMap& d : phonesim::ServiceRecords::forProfile(profile))
        records.append(*platform::BluetoothStackSimulated::recordFromJson(d));
    stack->addDevice(address, QStringLiteral("LG"), true, records);
    for (int channel : phonesim::ServiceRecords::atChannels(profile))
        stack->setChannelConnector(address, quint8(channel), [&sim] { return sim.connectSocketPair(); });
}
