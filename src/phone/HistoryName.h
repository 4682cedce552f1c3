#pragma once

#include <QDateTime>
#include <QString>

// Names of dated history files: folder + "/" + prefix + "-" + the local
// time as "%Y%m%d-%H%M%S".
namespace historyname {

inline constexpr const char* kTimeFormat = "yyyyMMdd-HHmmss";

QString timeText(const QDateTime& time);
QString datedPath(const QString& folder, const QString& prefix, const QDateTime& time);
// As datedPath(), moved on to the next second while that name is taken, so
// two files saved within one second never share a name.
QString freeDatedPath(const QString& folder, const QString& prefix, const QDateTime& time);
// The time of a name "<prefix>-<15 characters>"; invalid for other names.
QDateTime timeOfName(const QString& name, const QString& prefix);

} // namespace historyname
