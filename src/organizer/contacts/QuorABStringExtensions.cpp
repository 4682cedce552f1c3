#include "organizer/contacts/QuorABStringExtensions.h"

QString cleanLabel(const QString& text)
{
    // "_$!<" before and ">!$_" after the label; a text too short to hold
    // both is no such label and stays as it is.
    if (!text.startsWith(QLatin1String("_$!")) || text.size() < 8)
        return text;
    return text.mid(4, text.size() - 8);
}
