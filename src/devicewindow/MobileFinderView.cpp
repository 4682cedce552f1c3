#include "devicewindow/MobileFinderView.h"

MobileFinderView::MobileFinderView(QWidget* parent) : ToolView(parent)
{
    setObjectName(QStringLiteral("MobileFinderView"));
}
