#include "BadgeSample.h"

#include "widgets/FooterToolBarView.h"

#include <QPainter>

BadgeSample::BadgeSample(QWidget* parent)
    : QWidget(parent)
{
    setAccessibleName(tr("Count badges"));
}

void BadgeSample::paintEvent(QPaintEvent*)
{
    struct Badge {
        const char* count;
        QColor colour;
        qreal radius;
    };
    const Badge badges[] = {
        {"3", QColor(200, 40, 40), 9}, {"42", QColor(40, 40, 40), 8}, {"128", QColor(59, 115, 185), 12}, {"7", QColor(0, 0, 0), 4}};
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    qreal x = 4;
    for (const Badge& badge : badges) {
        const QString count = QLatin1String(badge.count);
        const qreal w = std::max<qreal>(24, painter.fontMetrics().horizontalAdvance(count) + 14);
        const QRectF rect(x, 6, w, 22);
        FooterToolBarView::drawBadge(&painter, rect, badge.colour, true, badge.radius);
        painter.setPen(Qt::white);
        painter.drawText(rect, Qt::AlignCenter, count);
        x += w + 10;
    }
}
