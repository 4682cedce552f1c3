#include "DeviceWindowTestSupport.h"

#include "foundation/NamedLog.h"

#include <QFile>

namespace devicewindow_tests {

std::shared_ptr<MFDevice> makeDevice(const char* connType, QVariantMap dict, MFDevice::Makers makers)
{
    if (!dict.contains(QStringLiteral("Common.SerialNo")))
        dict.insert(QStringLiteral("Common.SerialNo"), QStringLiteral("35-00000001"));
    if (!dict.contains(QStringLiteral("Common.DeviceName")))
        dict.insert(QStringLiteral("Common.DeviceName"), QStringLiteral("KU990"));
    const QVariantMap row{{QStringLiteral("Dorvanti.Model"), QStringLiteral("KU990")},
                          {QStringLiteral("Dorvanti.Manufacturer"), QStringLiteral("LG")},
                          {QStringLiteral("Dorvanti.DeviceProtocol"), QStringLiteral("lg")}};
    return std::make_shared<MFDevice>(QString::fromLatin1(connType), std::make_shared<QVariantMap>(dict), row, nullptr,
                                      std::move(makers));
}

namespace {
int g_mark = 0;

QStringList allXtLines()
{
    QFile log(QVPathForLogFile(QStringLiteral("XT.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
} // namespace

void markXT()
{
    QVLogCreateAndOpen(QLatin1String(qvlog::kXT));
    g_mark = int(allXtLines().size());
}

QStringList xtLines()
{
    return allXtLines().mid(g_mark);
}

} // namespace devicewindow_tests
