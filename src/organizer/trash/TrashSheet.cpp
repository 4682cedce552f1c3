#include "organizer/trash/TrashSheet.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

TrashSheet::TrashSheet(QWidget* window, const QString& title, const QString& message, const QString& defaultTitle,
                       const QString& cancelTitle, bool withPopup, std::function<void(int)> didEnd)
    : QWidget(window)
    , _didEnd(std::move(didEnd))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAccessibleName(title);
    _panel = new QWidget(this);
    _panel->setObjectName(QStringLiteral("sheetPanel"));
    _panel->setAttribute(Qt::WA_StyledBackground);
    _panel->setStyleSheet(QStringLiteral("#sheetPanel { background: #f4f4f4; border: 1px solid #8a8a8a;"
                                         " border-top: none; border-radius: 0 0 6px 6px; }"));
    auto* layout = new QVBoxLayout(_panel);
    layout->setContentsMargins(20, 16, 20, 14);
    layout->setSpacing(10);
    _title = new QLabel(title, _panel);
    _title->setObjectName(QStringLiteral("sheetTitle"));
    QFont bold = _title->font();
    bold.setBold(true);
    _title->setFont(bold);
    _title->setWordWrap(true);
    _message = new QLabel(message, _panel);
    _message->setObjectName(QStringLiteral("sheetMessage"));
    _message->setWordWrap(true);
    layout->addWidget(_title);
    layout->addWidget(_message);
    if (withPopup) {
        _popup = new QComboBox(_panel);
        _popup->setObjectName(QStringLiteral("phonePopup"));
        _popup->setAccessibleName(tr("Phone"));
        _message->setBuddy(_popup);
        layout->addWidget(_popup);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    _cancel = new QPushButton(cancelTitle, _panel);
    _cancel->setObjectName(QStringLiteral("sheetCancelButton"));
    _cancel->setProperty("tag", 0);
    _default = new QPushButton(defaultTitle, _panel);
    _default->setObjectName(QStringLiteral("sheetDefaultButton"));
    _default->setProperty("tag", 1);
    _default->setDefault(true);
    buttons->addWidget(_cancel);
    buttons->addWidget(_default);
    layout->addLayout(buttons);
    connect(_default, &QPushButton::clicked, this, [this] { end(1); });
    connect(_cancel, &QPushButton::clicked, this, [this] { end(0); });

    window->installEventFilter(this);
    place();
    show();
    raise();
    (_popup ? static_cast<QWidget*>(_popup) : _default)->setFocus(Qt::OtherFocusReason);
}

void TrashSheet::end(int code)
{
    if (!_didEnd)
        return;
    const auto didEnd = std::move(_didEnd);
    _didEnd = nullptr;
    hide();
    close();
    didEnd(code);
}

void TrashSheet::place()
{
    QWidget* window = parentWidget();
    if (!window)
        return;
    setGeometry(window->rect());
    const int width = std::min(kPanelWidth, window->width());
    _panel->setFixedWidth(width);
    _panel->adjustSize();
    _panel->move((window->width() - width) / 2, 0);
}

bool TrashSheet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        place();
    return QWidget::eventFilter(watched, event);
}

void TrashSheet::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        end(1);
        return;
    case Qt::Key_Escape:
        end(0);
        return;
    default:
        // The window behind waits until the sheet ends.
        event->accept();
    }
}

void TrashSheet::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 70));
}
