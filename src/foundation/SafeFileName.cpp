#include "SafeFileName.h"

namespace {

constexpr int kMaxFileNameBytes = 255;

bool isUnsafeInFileName(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f
        || c.category() == QChar::Other_Format || c.category() == QChar::Separator_Line
        || c.category() == QChar::Separator_Paragraph;
}

QString cutToFileNameBytes(const QString& name, int maxBytes)
{
    QString result;
    int bytes = 0;
    for (int i = 0; i < name.size(); ++i) {
        const bool pair = name.at(i).isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate();
        const QString piece = pair ? name.mid(i, 2) : name.mid(i, 1);
        const int pieceBytes = int(piece.toUtf8().size());
        if (bytes + pieceBytes > maxBytes)
            break;
        result += piece;
        bytes += pieceBytes;
        if (pair)
            ++i;
    }
    return result;
}

QString trimmedFileName(QString name)
{
    int start = 0;
    while (start < name.size() && (name.at(start) == QLatin1Char('.') || name.at(start).isSpace()))
        ++start;
    int end = int(name.size());
    while (end > start && (name.at(end - 1) == QLatin1Char('.') || name.at(end - 1).isSpace()))
        --end;
    return name.mid(start, end - start);
}

} // namespace

QString safeFileNameFromDescription(const QString& description, const QString& fallback)
{
    QString name;
    name.reserve(description.size());
    for (QChar c : description)
        name += isUnsafeInFileName(c) ? QLatin1Char('_') : c;
    name = trimmedFileName(cutToFileNameBytes(trimmedFileName(name), kMaxFileNameBytes));
    return name.isEmpty() ? fallback : name;
}
