#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace desktopstore {

// One contact as the hub holds it: the contact record's own fields (no lists of
// sub-record ids) and its phone numbers, e-mail addresses, URLs and street
// addresses as sub-records in file order, each with its entity name under
// ISyncRecordEntityNameKey and the fields "value" (an address: street, city,
// state, postal code, country), "type" and "label". groups names the groups
// the contact belongs to (its CATEGORIES), each once, in file order.
struct ContactItem {
    QString uid;
    QVariantMap contact;
    QList<QVariantMap> subRecords;
    QStringList groups;
};

// The contact of a vCard 3.0 or 4.0 file. None (with *error) for text that
// does not parse, holds no vCard or holds several.
std::optional<ContactItem> readContactCard(const QByteArray& text, QString* error);

// The vCard 3.0 text of a contact (CR LF, folded at 75 octets, UTF-8). The
// lines of previousText whose properties the mapping does not know are kept.
QByteArray writeContactCard(const ContactItem& item, const QByteArray& previousText = {});

// The list field of the contact record that holds the ids of sub-records of
// an entity ("phone numbers" ...); empty for other entities.
QString listKeyForEntity(const QString& entityName);

} // namespace desktopstore
