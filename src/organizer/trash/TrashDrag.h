#pragma once

#include "organizer/trash/TrashElem.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Contacts dragged out of the trash window become one vCard file.
namespace trashdrag {

// The file's name, made from the first entry's contact ("<name>.vcf", or
// "others_filename" with the name and the number of further entries) and
// made safe as a file name; null when the first entry is not a contact.
QString fileName(const QList<TrashElemPtr>& rows);
// The vCard 2.1 texts of the contacts, one after the other, as UTF-8;
// entries that are not contacts or give no text are left out.
QByteArray fileText(const QList<TrashElemPtr>& rows);
// Writes the file into folder (made when missing), replacing one of that
// name; the path, or null when there is no name, no text or the write failed.
QString writeFile(const QList<TrashElemPtr>& rows, const QString& folder);
// "<temporary folder>/Trash".
QString dragFolder();

} // namespace trashdrag
