#include "organizer/contacts/ContactsButtonCell.h"

#include "organizer/contacts/ContactsKeys.h"
#include "platform/Localization.h"
#include "syncmodel/QVVCardElem.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace {

// The cell as an action's data: the owner's menu outlives the cells that
// lend it out, so its actions must never name a cell that is gone.
QVariant contactsCellData(ContactsButtonCell* cell)
{
    return QVariant::fromValue(QPointer<QObject>(cell));
}

} // namespace

ContactsButtonCell::ContactsButtonCell(QWidget* parent) : PhoneButtonCell(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

ContactsButtonCell::~ContactsButtonCell() = default;

void ContactsButtonCell::setMenu(const QMenu* menu)
{
    m_menu.reset();
    if (!menu)
        return;
    m_menu = std::make_unique<QMenu>(menu->title());
    for (QAction* original : menu->actions()) {
        if (original->isSeparator()) {
            m_menu->addSeparator();
            continue;
        }
        QAction* copy = m_menu->addAction(original->icon(), original->text());
        copy->setObjectName(original->objectName());
        copy->setData(contactsCellData(this));
        QPointer<QAction> source(original);
        connect(copy, &QAction::triggered, this, [this, source] {
            if (!source)
                return;
            source->setData(contactsCellData(this));
            source->trigger();
        });
    }
    // Before it shows, the owner sees this cell as the originals' data and
    // may enable or disable them; the copies follow.
    connect(m_menu.get(), &QMenu::aboutToShow, this, [this, menu = QPointer<const QMenu>(menu)] {
        if (!menu)
            return;
        const QList<QAction*> originals = menu->actions();
        const QList<QAction*> copies = m_menu->actions();
        for (int i = 0; i < originals.size() && i < copies.size(); ++i) {
            originals[i]->setData(contactsCellData(this));
            copies[i]->setEnabled(originals[i]->isEnabled());
        }
    });
}

ContactsButtonCell* ContactsButtonCell::copyCell(QWidget* parent) const
{
    auto* cell = new ContactsButtonCell(parent);
    cell->setCellType(m_cellType);
    cell->setText(text());
    cell->setFont(font());
    cell->setAlignment(alignment());
    cell->setWraps(wraps());
    cell->setEnabled(isEnabled());
    cell->setObjectName(objectName());
    return cell;
}

void ContactsButtonCell::closeMenu()
{
    if (m_menu && m_menu->isVisible())
        m_menu->close();
}

void ContactsButtonCell::popUpMenu(const QPoint& global)
{
    if (!m_menu)
        return;
    Q_EMIT menuAboutToPopUp(global);
    m_menu->popup(global);
}

ContactsButtonCell* ContactsButtonCell::representedCell(const QAction* action)
{
    if (!action)
        return nullptr;
    const QVariant data = action->data();
    if (data.metaType() == QMetaType::fromType<QPointer<QObject>>())
        return qobject_cast<ContactsButtonCell*>(data.value<QPointer<QObject>>().data());
    return qobject_cast<ContactsButtonCell*>(data.value<QObject*>());
}

qreal ContactsButtonCell::titleWidth() const
{
    return fontMetrics().horizontalAdvance(text());
}

QString ContactsButtonCell::markerKey() const
{
    return m_cellType == QVVCardElem::kPhoneCode ? contactskeys::kPhoneMarker : contactskeys::kSMSMarker;
}

QRectF ContactsButtonCell::markerRect(const QRectF& cell) const
{
    const bool phone = m_cellType == QVVCardElem::kPhoneCode;
    if (!phone && titleWidth() + kTitleInset + kMarkerWidth > cell.width())
        return {};
    const qreal right = phone ? cell.width() : titleWidth() + kTitleInset;
    return {cell.x() + right - kMarkerWidth, cell.y(), kMarkerWidth, cell.height()};
}

void ContactsButtonCell::paintEvent(QPaintEvent* event)
{
    PhoneButtonCell::paintEvent(event);
    if (!isInTrack())
        return;
    const QRectF strip = markerRect(rect());
    if (strip.isEmpty())
        return;
    QPainter painter(this);
    const float level = float(frontWhiteColor());
    painter.setPen(QColor::fromRgbF(level, level, level, level));
    painter.setFont(font());
    painter.drawText(strip, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
                     platform::localizedString(markerKey()));
}

void ContactsButtonCell::mousePressEvent(QMouseEvent* event)
{
    if (!m_menu || !isEnabled()) {
        PhoneButtonCell::mousePressEvent(event);
        return;
    }
    popUpMenu(event->globalPosition().toPoint());
    event->accept();
}

void ContactsButtonCell::keyPressEvent(QKeyEvent* event)
{
    const bool opens = event->key() == Qt::Key_Space || event->key() == Qt::Key_Menu;
    if (!m_menu || !isEnabled() || !opens) {
        PhoneButtonCell::keyPressEvent(event);
        return;
    }
    popUpMenu(mapToGlobal(rect().bottomLeft()));
    event->accept();
}
