#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QtGlobal>

// What the file tree shows of an entry: its size and date texts, its icon
// type and icon, and the colour of its Finder label.
namespace dztree {

// "--" below 0; "999 Byte"; "5.432 Byte" up to 9999; then KB, MB and GB with
// one decimal ("9,7 KB") below ten units, else whole units rounded up from
// 513/1024 of a unit.
QString displayableSize(qint64 bytes);
// A basic ISO 8601 time of 15 or 16 characters ("20070315T142500", maybe
// with "Z") as "15.03.2007, 14:25"; anything else "--".
QString formattedModificationDate(const QString& isoTime);
// The icon type: "fldr" for a folder ("idsk" when its name ends with ":"),
// "prvf" for a private folder, else the name's extension ("sis" in any case
// reads "APPL", "jad" reads "jar").
QString imageExtension(quint32 fileType, const QString& name);
// The desktop theme's icon of the type at size x size, flipped and smoothly
// resized; the black-and-white form when not up to date. One shared cache.
QImage iconImage(const QString& type, int size, bool upToDate);
// Label 0 and anything above 7 are clear.
QColor etiketColor(unsigned label);

} // namespace dztree
