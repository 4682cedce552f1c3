#include "links/ObexIrMCConnection.h"

QString ObexIrMCConnection::className() const
{
    return QStringLiteral("ObexIrMCConnection");
}
