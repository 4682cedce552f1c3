#include "widgets/DeviceCell.h"

#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"

#include <QPainter>

DeviceCell::DeviceCell(QObject* parent) : ImageAndTextCell(parent)
{
}

bool DeviceCell::isConnected(const QModelIndex& index) const
{
    const QVariant value = index.data(ConnectedRole);
    return value.isValid() ? value.toBool() : connected_;
}

QString DeviceCell::rowBackgroundName(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!isConnected(index))
        return {};
    const QWidget* view = option.widget;
    const bool focused = view && view->hasFocus() && view->isActiveWindow();
    return focused ? QStringLiteral("MFinderSelect") : QStringLiteral("MFinderInActive");
}

void DeviceCell::drawRowBackground(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const
{
    const QString name = rowBackgroundName(option, index);
    if (name.isEmpty())
        return;
    // Under this cell only: cells of later columns would paint over an image
    // laid across the whole row.
    if (!option.rect.isEmpty())
        painter->drawImage(option.rect, platform::gui::image(QLatin1String(platform::gui::kProgramBundle), name));
}
