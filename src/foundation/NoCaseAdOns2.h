#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

// Stores object under the first existing key that equals key ignoring case
// (keeping that key's spelling), else under key.
void setNoCaseObject(QVariantMap& self, const QVariant& object, const QString& key);
