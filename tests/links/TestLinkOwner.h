#pragma once

#include "links/MFDeviceLinkOwner.h"

#include <QList>
#include <QPair>

// A device object as the links see it: it records the registrations.
class TestLinkOwner : public MFDeviceLinkOwner {
public:
    explicit TestLinkOwner(QString connType) : _connType(std::move(connType)) {}

    MFDevice* linkDevice() override { return nullptr; }
    const MFDeviceInfo* linkDeviceInfo() const override { return nullptr; }
    QString connType() const override { return _connType; }
    void registerConnection(const QString& name, const QVariantMap& specification) override
    {
        registrations.append({name, specification});
    }

    QList<QPair<QString, QVariantMap>> registrations;

private:
    QString _connType;
};
