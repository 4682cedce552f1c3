#pragma once

#include <QString>

// Localized texts. The program ships its string tables as JSON objects
// (key -> English text) in Qt resources under ":/strings/<table>.json".
// A key missing from its table answers the key itself.
namespace platform {

QString localizedString(const QString& key, const QString& table = QStringLiteral("Localizable"));

} // namespace platform
