#pragma once

#include "platform/bluetooth/SdpServiceRecord.h"

#include <QByteArray>

// The sender the OBEX tests hand their callbacks; nothing reads it back.
inline constexpr int kCallbackSender = 0;

inline QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// A service record offering one 16-bit service on an RFCOMM channel.
inline platform::SdpServiceRecord service(quint16 uuid, quint8 channel)
{
    return platform::SdpServiceRecord::make({platform::BluetoothUuid::uuid16(uuid)}, QString(), channel);
}
