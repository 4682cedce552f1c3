#pragma once

#include <QVariantMap>

// Whether the receiver's sync environment is matched by other: every key of
// the receiver except the top-level "Groups" must be in other with an equal
// value (nested dictionaries entirely equal, their "Groups" included). Keys
// only other has are not looked at.
bool isEqualToSyncEnvironment(const QVariantMap& self, const QVariantMap& other);
