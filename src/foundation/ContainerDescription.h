#pragma once

#include <QString>
#include <QVariant>

// One entry of a list or dictionary tree: nested containers as their own tree
// at the given indent, byte buffers as their short dump, numbers as
// "<NSNumber> " and the value, anything else as objectDescription().
QString containerEntryDescription(const QVariant& value, int indent);
