#include "widgets/Hyperlink.h"

namespace hyperlink {

bool isLinkable(const QUrl& url)
{
    if (!url.isValid() || url.isRelative())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mailto"))
        return !url.path().isEmpty();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

QString hyperlinkFromString(const QString& text, const QUrl& url)
{
    const QString escaped = text.toHtmlEscaped();
    if (!isLinkable(url))
        return escaped;
    return QStringLiteral("<a href=\"%1\" style=\"color:#0000ff; text-decoration:underline;\">%2</a>")
        .arg(QString::fromUtf8(url.toEncoded()).toHtmlEscaped(), escaped);
}

} // namespace hyperlink
