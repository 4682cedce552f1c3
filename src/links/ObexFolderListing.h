#pragma once

#include "links/FTPFile.h"

#include <QByteArray>
#include <QString>
#include <optional>

class FTPFileOwner;

// Reading an OBEX folder listing ("x-obex/folder-listing"): one FTPFile per
// <file> and <folder> element with the attributes "name", "size",
// "modified", "user-perm" and "file-type" (1 for a folder, 0 for a file).
// The listing comes from the phone and is untrusted.
namespace obexlisting {

// A sound entry name: not empty, not "." or "..", no "/" and no NUL.
bool isSoundEntryName(const QString& name);

// The entries of the listing, their paths in folder. Entries with an
// unsound name are dropped (logged); a size that is no number reads as -1.
// nullopt (with *error set) when the text is not well-formed XML.
std::optional<FTPFileList> read(const QByteArray& xml, const QString& folder, FTPFileOwner* owner,
                                QString* error = nullptr);

} // namespace obexlisting
