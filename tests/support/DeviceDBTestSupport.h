#pragma once

#include <QByteArray>
#include <QString>

// Builds a small encrypted device database for a test: the real schema of
// data/devicedb followed by the given rows. Answers the file's path (inside
// the test home), or an empty string when the SQL failed.
QString buildTestDeviceDB(const QString& name, const QString& rowsSQL, const QByteArray& passPhrase);
QString buildTestDeviceDB(const QString& name, const QString& rowsSQL);
