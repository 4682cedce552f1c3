#pragma once

#include "links/ObexSyncMLConnection.h"

// The same connection for the IrMC target "IRMC-SYNC" (as OBEX client).
class ObexIrMCConnection : public ObexSyncMLConnection {
public:
    static constexpr const char* kIrMCTarget = "IRMC-SYNC";

    using ObexSyncMLConnection::ObexSyncMLConnection;
    QString className() const override;
    int openIrMCService(const std::shared_ptr<QVDeviceCallback>& callback) { return openSyncMLService(callback); }

protected:
    QByteArray target() const override { return _targetData; }

private:
    QByteArray _targetData = QByteArray(kIrMCTarget);
};
