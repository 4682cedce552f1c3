#include "widgets/PolishedMetallPanel.h"

PolishedMetallPanel::PolishedMetallPanel(QWidget* parent, bool flat) : PolishedMetallWindow(parent, flat)
{
    setWindowFlag(Qt::Tool, true);
}
