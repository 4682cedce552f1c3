#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

// Property lists as QVariant:
//   dict -> QVariantMap, array -> QVariantList, string -> QString,
//   integer -> qlonglong (quint64 above the signed range), real -> double,
//   true/false -> bool, date -> QDateTime (UTC), data -> QByteArray.
// Reading accepts the XML form and the binary form ("bplist00"). A malformed
// or truncated document is an error: the result is an invalid QVariant and
// *error says why; a partial value is never returned.
namespace platform::plist {

QVariant read(const QByteArray& bytes, QString* error = nullptr);
QVariant readFile(const QString& path, QString* error = nullptr);

// The XML form the desktop platform writes (with its DOCTYPE). Values of other
// QVariant types are an error (empty result).
QByteArray toXml(const QVariant& value, QString* error = nullptr);

// toXml() written with writeFileAtomically().
bool writeFile(const QString& path, const QVariant& value, QString* error = nullptr);

} // namespace platform::plist
