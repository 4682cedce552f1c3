#pragma once

#include <QHash>
#include <QString>
#include <QVariantMap>
#include <QtGlobal>

class qvDeviceDB;

// Cache of the device database's SyncML rows by protocol name. A protocol
// without a row of its own gets the "UNKNOWN" row, cached under its name.
class QVSyncDeviceDB {
public:
    static constexpr const char* kUnknownProtocol = "UNKNOWN";

    static QVSyncDeviceDB& sharedSyncDeviceDB();

    QVSyncDeviceDB();

    // The prepared row of the protocol (a null name asks for "UNKNOWN" and is
    // not cached); empty when neither the protocol nor "UNKNOWN" has a row,
    // and then nothing is cached.
    QVariantMap dictionaryForProtocol(const QString& protocol, qvDeviceDB* dbInstance);

    // Forgets every row; done by itself when the shared database changed.
    void reset();

private:
    QHash<QString, QVariantMap> _deviceDefinitions;
    quint64 _generation;
};
