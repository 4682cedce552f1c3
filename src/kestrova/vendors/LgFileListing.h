#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantList>
#include <optional>

// The listings of an LG phone's file system as the file-browser kit hands
// them out: one dictionary per item with "name", "file-type" (0 file, 1
// folder) and, from folder listings, "size" (files) and "modified". Pure
// functions; each listing is also written to the kit's log.
namespace kestrova::lg {

// The root listing reply: a 16-bit little-endian length at offsets 10-11,
// then that many bytes of UTF-16LE text (bounded by the bytes present) of
// pieces "name:..." separated by "/"; every piece, an empty one too, is a
// folder. nullopt for a reply too short for its length field.
std::optional<QVariantList> extractDirectoriesFromData(const QByteArray& reply);

// The XML text of a folder listing reply: the bytes from offset 10 up to two
// before the end as UTF-16LE; nullopt for a reply shorter than 13 bytes.
std::optional<QString> getXmlStringFromDirData(const QByteArray& reply);

// The "file" elements under the root element, then its "folder" elements,
// each in document order, those with attr="HIDDEN" left out. A file gives
// "modified" (its "created"), "name", "size", "file-type" 0; a folder
// "modified", "name", "file-type" 1; a missing attribute ends the entry
// there, so an item without "created" is an empty entry. Items whose name
// holds "/" or a NUL are dropped. Empty text gives []; a document broken
// midway gives the entries complete before the fault.
QVariantList parseLgDirectoryListingFromXMLString(const QString& xml);

} // namespace kestrova::lg
