#pragma once

#include <QLoggingCategory>
#include <QString>

// Console diagnostics of the kit bridges.
Q_DECLARE_LOGGING_CATEGORY(lcKitBridges)

// The bridges' lines of the named logs "Conn" and "XT".
void MMConnLog(const QString& line);
void MMXTLog(const QString& line);
