#pragma once

#include <QString>
#include <QUrl>

// Link text: the whole text as one link to the address, blue and underlined
// throughout, as rich text for a label. Only http, https and mailto
// addresses make links; for any other the text comes back escaped and plain.
namespace hyperlink {

bool isLinkable(const QUrl& url);
QString hyperlinkFromString(const QString& text, const QUrl& url);

} // namespace hyperlink
