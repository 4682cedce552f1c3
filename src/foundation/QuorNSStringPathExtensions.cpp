#include "foundation/QuorNSStringPathExtensions.h"

QString stringByConcatenatingPathComponents(const QString& front, const QString& rear)
{
    const QString slash = QStringLiteral("/");
    if (front.isNull())
        return rear.isNull() ? slash : QString(slash + rear);
    if (rear.isEmpty())
        return front;
    if (front.endsWith(QLatin1Char('/')))
        return rear.startsWith(QLatin1Char('/')) ? QString(front + rear.mid(1)) : QString(front + rear);
    return rear.startsWith(QLatin1Char('/')) ? QString(front + rear) : QString(front + slash + rear);
}

QString lastPathComponent(const QString& self)
{
    qsizetype end = self.size();
    while (end > 1 && self.at(end - 1) == QLatin1Char('/'))
        --end;
    if (end == 1 && self.at(0) == QLatin1Char('/'))
        return QStringLiteral("/");
    const qsizetype slash = self.lastIndexOf(QLatin1Char('/'), end - 1);
    return self.mid(slash + 1, end - slash - 1);
}
