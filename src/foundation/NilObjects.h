#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

// An invalid object removes the key, any other is stored.
void setMaybeNilObject(QVariantMap& self, const QVariant& object, const QString& key);
