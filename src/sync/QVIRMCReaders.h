#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <optional>

// Readers of what an IrMC phone answers. Every answer is untrusted: lengths
// are checked against the bytes present, and a malformed part is dropped
// with a line in *log (never a crash).

// The text of a number ("%ld").
QString stringForLong(long number);
// The text after the first ":"; null without one.
QString getAfterColon(const QString& text);
// The X-IRMC-LUID of the first card of a vCard text; null when missing.
QString uriForVXData(const QString& vCard);

// App-Parameters of a push answer: tag (1 byte), length (1 byte), value
// (Mac OS Roman text), keyed by the tag's decimal text. A field whose length
// runs past the data ends the reading; the fields before it are kept.
QVariantMap irmcAppParameters(const QByteArray& bytes, QStringList* log);

// The lines of an information log.
struct QVIRMCInfoLog {
    std::optional<QString> databaseID;
    std::optional<long> maxRecords;
    std::optional<long> totalRecords;
    std::optional<bool> hardDelete;
};
QVIRMCInfoLog irmcInfoLog(const QString& text, QStringList* log);

// A change log. databaseID is the last "DID:" line; change lines count only
// while a database id is known (knownDatabaseID or an earlier "DID:" line).
// changed holds each modified LUID once, without those deleted; deleted
// holds each deleted LUID once.
struct QVIRMCChangeLog {
    std::optional<QString> databaseID;
    bool starLine = false;
    QStringList changed;
    QStringList deleted;
};
QVIRMCChangeLog irmcChangeLog(const QString& text, bool knownDatabaseID, QStringList* log);

// The card texts of a phonebook: one outer card around the entries is
// removed, a plain run of cards is split as it is, the empty outer card gives
// an empty list; nullopt when the text holds no card.
std::optional<QStringList> irmcSplitPhonebook(const QString& text);

// A folder listing: one entry per child element of the root (its attributes
// plus "objectType" = the element's name). A listing that is not well-formed
// is read again leniently; entries whose name is empty, ".", "..", or
// contains "/" or NUL are left out. nullopt when neither reading finds a root.
std::optional<QVariantList> irmcFolderListing(const QByteArray& xml, QStringList* log);
