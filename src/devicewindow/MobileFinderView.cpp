#include "devicewindow/MobileFinderView.h"

#include "platform/Localization.h"

#include <QLabel>
#include <QVBoxLayout>

MobileFinderView::MobileFinderView(QWidget* parent) : ToolView(parent)
{
    setObjectName(QStringLiteral("MobileFinderView"));
    // Until the file browser comes the center says so, as the other
    // placeholders do.
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(platform::localizedString(QStringLiteral("NotAvailableYet")), this);
    label->setObjectName(QStringLiteral("notAvailableYet"));
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
}
