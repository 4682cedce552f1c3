#include "lumwick/AKBox.h"
#include "lumwick/AKListView.h"

#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"

#include <QPainter>

void AKBox::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(whiteRect(), Qt::white);
}

namespace {

QImage lumwickImage(const char* name)
{
    return platform::gui::image(QString::fromLatin1(platform::gui::kLumwickBundle), QLatin1String(name));
}

} // namespace

AKListView::AKListView(QWidget* parent)
    : QWidget(parent)
    , m_unselected(lumwickImage("unselected"))
    , m_unprocessed(lumwickImage("unprocessed"))
    , m_selected(lumwickImage("selected"))
{
}

void AKListView::addPaneName(const QString& name)
{
    m_names.append(name);
    update();
}

void AKListView::setCurrentPaneIndex(int index)
{
    m_currentPaneIndex = index;
    update();
}

QString AKListView::imageNameForRow(int row) const
{
    if (row == m_currentPaneIndex)
        return QStringLiteral("selected");
    return row < m_currentPaneIndex ? QStringLiteral("unselected") : QStringLiteral("unprocessed");
}

int AKListView::visibleRowCount() const
{
    // The first row starts one row below the top; a row that would start
    // below the bottom is not drawn.
    int rows = 0;
    while (rows < m_names.size() && (rows + 1) * kRowHeight <= height())
        ++rows;
    return rows;
}

void AKListView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    const int rows = visibleRowCount();
    for (int row = 0; row < rows; ++row) {
        const int top = row * kRowHeight;
        const QString kind = imageNameForRow(row);
        const QImage& image = kind == QLatin1String("selected") ? m_selected
            : kind == QLatin1String("unselected")              ? m_unselected
                                                               : m_unprocessed;
        painter.drawImage(QRect(0, top + (kRowHeight - 12) / 2, 12, 12), image);
        painter.drawText(QRect(15, top, width() - 15, kRowHeight), Qt::AlignVCenter | Qt::AlignLeft, m_names.at(row));
    }
}
