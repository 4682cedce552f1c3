#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

namespace phonesim {

// The SDP services a simulated phone of each profile publishes, described as
// Bluetooth device files take them: {"name", "uuids", "channel", "obex"}.
// The channels that carry the AT session (Dial-up Networking, Serial Port,
// and the LG application port) are listed by atChannels().
struct ServiceRecords {
    static QList<QVariantMap> forProfile(const QString& profile);
    static QList<int> atChannels(const QString& profile);
    // The channels of the records marked "obex" (IrMC, Object Push, File
    // Transfer, SyncML): they speak OBEX from their first byte.
    static QList<int> obexChannels(const QString& profile);
    // Where a phone listening at socketPath serves its OBEX channels.
    static QString obexSocketPath(const QString& socketPath) { return socketPath + QStringLiteral(".obex"); }
    // A device file for one phone whose AT channels reach the local socket
    // at socketPath (see BluetoothStackSimulated::loadDeviceFile).
    static QByteArray deviceFile(const QString& address, const QString& name, const QString& profile,
                                 const QString& socketPath);
};

} // namespace phonesim
