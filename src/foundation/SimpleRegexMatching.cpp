#include "foundation/SimpleRegexMatching.h"

#include <QRegularExpression>

bool matchesRegex(const QString& self, const QString& pattern)
{
    const QRegularExpression expression(
        QRegularExpression::anchoredPattern(QStringLiteral("(?m)") + pattern));
    if (!expression.isValid())
        return false;
    return expression.match(self).hasMatch();
}

bool containsRegex(const QString& self, const QString& pattern)
{
    return matchesRegex(self, QStringLiteral(".*") + pattern + QStringLiteral(".*"));
}
