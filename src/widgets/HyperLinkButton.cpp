#include "widgets/HyperLinkButton.h"

#include "platform/Localization.h"
#include "widgets/Hyperlink.h"

HyperLinkButton::HyperLinkButton(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void HyperLinkButton::setHyperlinkWithTextField()
{
    const QString visible = text();
    if (placeholderText_.isEmpty() || visible.isEmpty())
        return;
    const QUrl url(platform::localizedString(placeholderText_), QUrl::StrictMode);
    if (!hyperlink::isLinkable(url))
        return;
    link_ = url;
    setTextFormat(Qt::RichText);
    setText(hyperlink::hyperlinkFromString(visible, url));
    setOpenExternalLinks(true);
    setTextInteractionFlags(Qt::TextBrowserInteraction);
    setCursor(Qt::PointingHandCursor);
}
