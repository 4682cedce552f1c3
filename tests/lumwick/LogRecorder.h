#pragma once

#include <QString>
#include <QStringList>

// The lines the wizard wrote to the program's "Lumwick" log since clear().
namespace logRecorder {
void clear();
const QStringList& lines();
bool contains(const QString& line);
} // namespace logRecorder
