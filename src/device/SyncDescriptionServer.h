#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <memory>

class QVSyncDeviceDescription;

// The sync descriptions by protocol name, made once and shared by every phone
// of that protocol.
class SyncDescriptionServer {
public:
    static SyncDescriptionServer& sharedSyncDescriptionServer();

    SyncDescriptionServer();

    // Null for a null or empty name; the cached description of the name; else
    // a new one, cached when it could be made.
    std::shared_ptr<QVSyncDeviceDescription> syncDeviceFromProtocol(const QString& protocol);
    // Through the model's "Dorvanti.SyncMLProtocol"; null without one.
    std::shared_ptr<QVSyncDeviceDescription> syncDeviceFromDeviceIdentifier(const QString& identification);
    std::shared_ptr<QVSyncDeviceDescription> syncDeviceFromDevID(const QVariant& deviceID);

    // Forgets every description; done by itself when the shared device
    // database changed.
    void reset();

private:
    std::shared_ptr<QVSyncDeviceDescription> fromSettings(const QVariantMap& settings);

    QHash<QString, std::shared_ptr<QVSyncDeviceDescription>> _descriptions;
    quint64 _generation;
};
