#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Editing of vCard and vCalendar text without parsing it into items: finding,
// removing and inserting properties, the end of a base64 block, the base64 and
// quoted-printable codecs, adding a photo and telling the line ending in use.
// Positions are character indexes; a line break is a CR or an LF.

// Text search.
// Index of the first occurrence of keyword at the start of the text or right
// after a line break; -1 when there is none.
qsizetype findKeyWordBegin(const QString& keyword, const QString& text);
// Length of the first logical line including its line break (folded
// continuations belong to the line); the full length when there is no end.
qsizetype findEndOfLogicalLine(const QString& text);
// Index of the last character of the first line break not followed by a blank
// or tab (the LF of a CR LF pair); the text length when there is none.
qsizetype findEndOfContent(const QString& text);
// Index just after the first ":" or ";"; the text length when there is none.
qsizetype findEndOfProperty(const QString& text);
// The item type after the first "BEGIN:" at a line start, up to
// findEndOfContent (so a CR of a CR LF ending stays on); null when none.
QString findDataType(const QString& text);
// "\r\n" when the first line break is followed by another line-break character
// or the text has none; "\r" when the first break stands alone.
QString getCRLFUsage(const QString& text);

// Text editing: each returns a new text, or the input when the keyword is missing.
QString removeVCardItem(const QString& keyword, const QString& vCard);
QString removeVCardProperty(const QString& keyword, const QString& vCard);
QString addVCardItem(const QString& item, const QString& vCard);
QString addVDataItem(const QString& text, const QString& item);
QString replaceVDataItem(const QString& keyword, const QString& text, const QString& newLine);

// End of a base64 block.
bool isMotorolaStyle(const QString& text);
qsizetype findEndOfBase64forV30(const QString& text, bool skipToColon);
qsizetype findEndOfBase64(const QString& text, bool isVersion21, bool skipToColon);
// The same on bytes read as ISO Latin 1 characters (the readers' buffers).
qsizetype findEndOfBase64forV30(QByteArrayView bytes, bool skipToColon);
qsizetype findEndOfBase64(QByteArrayView bytes, bool isVersion21, bool skipToColon);

// Codecs.
// RFC 4648 base64 with "=" fill characters and no line breaks.
QString encodeDataToBase64(const QByteArray& data);
// Every character outside the base64 alphabet is ignored (blanks, line breaks,
// folding); reading stops at the first "=". A trailing group of two or three
// characters gives one or two bytes; a lone trailing character gives nothing.
QByteArray decodeDataFromBase64(const QString& text);
// The same on bytes read as ISO Latin 1 characters.
QByteArray decodeDataFromBase64(QByteArrayView bytes);
// Bytes below 128 other than CR, LF and "=" as themselves, others "=%02X".
QString encodeData_quoted_printable(const QByteArray& data);
// Folds a long base64 line: unchanged below 68 characters; otherwise a first
// line of 68 and further lines of 67 characters behind one blank, each line
// ended by lineEnd.
QString formatBase64(const QString& text, const QString& lineEnd = QStringLiteral("\r\n"));

// Photo.
// The image drawn onto an opaque white canvas of the same size.
QImage flattenedImage(const QImage& image);
// Inserts "PHOTO;ENCODING=BASE64;TYPE=JPEG:" with the image as JPEG before
// END:VCARD. With byteLimit > 0 the image is shrunk by 0.8 until its JPEG fits;
// when the smaller side would drop below kMinPhotoSide the photo is left out.
constexpr int kMinPhotoSide = 12;
constexpr double kPhotoShrink = 0.8;            // per side, each time a photo is made smaller
inline constexpr const char* kJPEGPhotoLineStart = "PHOTO;ENCODING=BASE64;TYPE=JPEG:";
QString addPhotoItem(const QImage& image, const QString& vCard, int byteLimit);
QString addPhotoData(const QByteArray& jpegData, const QString& vCard);
// The decoded bytes of the first "PHOTO;" property's base64 value (null when
// there is none), and the image made of them.
QByteArray getImageDataVCard(const QString& vCard);
QImage getImageFromVCard(const QString& vCard);

// Quoted-printable soft line breaks.
QByteArray fixLineBreaks(const QByteArray& vCardData);
bool bufferContainsQPEncoding(const char* bytes, qsizetype length);
