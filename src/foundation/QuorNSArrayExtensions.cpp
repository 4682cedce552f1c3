#include "foundation/QuorNSArrayExtensions.h"

#include "foundation/ContainerDescription.h"
#include "foundation/QuorNSDataExtensions.h"

QString formattedDescription(const QVariantList& list, int indent)
{
    const QString pad = nSpaces(4 * indent + 4);
    QString text = QStringLiteral("<NSArray>");
    for (qsizetype i = 0; i < list.size(); ++i) {
        text += QLatin1Char('\n') + pad + QLatin1Char('[') + QString::number(i) + QStringLiteral("] = ");
        text += containerEntryDescription(list.at(i), indent + 1);
    }
    return text;
}
