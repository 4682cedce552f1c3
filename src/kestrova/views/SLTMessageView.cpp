#include "kestrova/views/SLTMessageView.h"

#include "platform/Localization.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QTextDocument>
#include <QTextEdit>
#include <cmath>

namespace {

constexpr int kMargin = 10;
constexpr int kFotoSize = 64;
constexpr int kLineBelowHeader = 7;
constexpr int kTextBelowLine = 5;
constexpr int kTextX = 6;
constexpr int kTextWidthLess = 13;
constexpr int kAddressWidthLess = 20;

// The scroll area whose viewport shows the view, if any.
QScrollArea* enclosingScrollArea(const QWidget* view)
{
    QWidget* viewport = view->parentWidget();
    return viewport ? qobject_cast<QScrollArea*>(viewport->parentWidget()) : nullptr;
}

} // namespace

SLTMessageView::SLTMessageView(QWidget* parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    white.setColor(QPalette::Text, Qt::black);
    setPalette(white);

    addressView_ = new QLabel(this);
    addressView_->setObjectName(QStringLiteral("addressView"));
    addressView_->setTextFormat(Qt::RichText);
    addressView_->setTextInteractionFlags(Qt::NoTextInteraction);
    addressView_->setWordWrap(true);
    addressView_->hide();

    messageView_ = new QTextEdit(this);
    messageView_->setObjectName(QStringLiteral("messageView"));
    messageView_->setReadOnly(true);
    messageView_->setAcceptRichText(false);
    messageView_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    messageView_->setFrameShape(QFrame::NoFrame);
    messageView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    messageView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    messageView_->setTabChangesFocus(true);
    messageView_->setAccessibleName(platform::localizedString(QStringLiteral("messageTextAccessibleName")));
    if (parent)
        parent->installEventFilter(this);
    layoutContents();
}

SLTMessageView::~SLTMessageView() = default;

void SLTMessageView::setAddress(const QString& richText)
{
    address_ = richText;
    addressView_->setText(richText);
    layoutContents();
}

void SLTMessageView::setMessage(const QString& message)
{
    message_ = message;
    messageView_->setPlainText(message);
    layoutContents();
    if (QScrollArea* area = enclosingScrollArea(this))
        area->ensureVisible(0, 0, 0, 0);
}

void SLTMessageView::setFoto(const QImage& foto)
{
    foto_ = foto;
    layoutContents();
    update();
}

void SLTMessageView::initSizes()
{
    if (QWidget* viewport = parentWidget())
        resize(viewport->size());
}

bool SLTMessageView::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange) {
        if (QWidget* viewport = parentWidget())
            viewport->installEventFilter(this);
        layoutContents();
    }
    return QWidget::event(event);
}

bool SLTMessageView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        layoutContents();
    return QWidget::eventFilter(watched, event);
}

void SLTMessageView::layoutContents()
{
    // The viewport tells the width and the visible height.
    QWidget* viewport = parentWidget();
    const QSize visible = viewport ? viewport->size() : size();
    const int w = visible.width();

    int header = foto_.isNull() ? 0 : kMargin + kFotoSize;
    int textTop = kMargin;
    lineY_ = -1;
    if (!address_.isEmpty()) {
        const int x = (foto_.isNull() ? 0 : kMargin + kFotoSize) + kMargin;
        const int width = qMax(0, w - x - kAddressWidthLess);
        addressView_->setGeometry(x, kMargin, width, addressView_->heightForWidth(width));
        addressView_->show();
        header = qMax(header, addressView_->geometry().bottom() + 1);
        lineY_ = header + kLineBelowHeader;
        textTop = lineY_ + kTextBelowLine;
    } else {
        addressView_->hide();
        if (!foto_.isNull())
            textTop = header + kMargin;
    }

    const int textWidth = qMax(0, w - kTextWidthLess);
    QTextDocument* document = messageView_->document();
    document->setTextWidth(textWidth);
    const int textHeight = int(std::ceil(document->size().height()));
    messageView_->setGeometry(kTextX, textTop, textWidth, textHeight);

    const QRect frame(pos(), QSize(w, qMax(visible.height(), textTop + textHeight + kMargin)));
    if (!isRect(frame, geometry()))
        setGeometry(frame);
    update();
}

void SLTMessageView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.fillRect(rect(), Qt::white);
    if (!foto_.isNull())
        painter.drawImage(QRect(kMargin, kMargin, kFotoSize, kFotoSize), foto_);
    if (lineY_ >= 0) {
        painter.setPen(QPen(Qt::gray, 1));
        painter.drawLine(kMargin, lineY_, width() - kMargin, lineY_);
    }
}
