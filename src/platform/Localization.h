#pragma once

#include <QString>

// Localized texts. The program ships its string tables as JSON objects
// (key -> English text) in Qt resources: a table is the merge of every JSON
// object file under ":/strings/<table>/" (from data/strings/<table>/*.json,
// compiled into the platform library; several parts of the program each add
// their own file), plus ":/strings/<table>.json" when present.
// A key missing from its table answers the key itself. Thread-safe.
namespace platform {

QString localizedString(const QString& key, const QString& table = QStringLiteral("Localizable"));

} // namespace platform
