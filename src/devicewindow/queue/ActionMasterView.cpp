#include "devicewindow/queue/ActionMasterView.h"

#include "devicewindow/queue/ActionBusyIndicator.h"
#include "devicewindow/queue/ActionITunesSyncCell.h"
#include "devicewindow/queue/ActionMasterSubText.h"
#include "devicewindow/queue/ActionMediaCell.h"

#include "devicewindow/DeviceWindowController.h"

#include "devicewindow/FeedBackOnGuiThread.h"
#include "jobs/JobNames.h"
#include "platform/gui/Images.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QThread>
#include <QToolButton>
#include <QVBoxLayout>

#include <map>

namespace {

const QImage& attentionImage()
{
    static const QImage image = [] {
        QImage picture = platform::gui::image(QStringLiteral("program"), QStringLiteral("payAttention"));
        if (picture.isNull())
            return picture;
        return picture.scaled(ActionMasterView::kAttentionSize, ActionMasterView::kAttentionSize,
                              Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }();
    return image;
}

using RowMaker = ActionMasterView* (*)(QWidget*);

const std::map<QString, RowMaker>& rowMakers()
{
    static const std::map<QString, RowMaker> makers{
        {ActionMasterView::nibName(), [](QWidget* owner) { return new ActionMasterView(owner); }},
        {ActionMasterSubText::nibName(),
         [](QWidget* owner) -> ActionMasterView* { return new ActionMasterSubText(owner); }},
        {ActionMediaCell::nibName(), [](QWidget* owner) -> ActionMasterView* { return new ActionMediaCell(owner); }},
        {ActionITunesSyncCell::nibName(),
         [](QWidget* owner) -> ActionMasterView* { return new ActionITunesSyncCell(owner); }},
    };
    return makers;
}

} // namespace

ActionMasterView::ActionMasterView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ActionMasterView"));
    setFocusPolicy(Qt::StrongFocus);
    setFixedHeight(kRowHeight);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kAttentionX + kAttentionSize + 4, 2, 6, 3);
    row->setSpacing(6);
    textColumn_ = new QWidget(this);
    auto* column = new QVBoxLayout(textColumn_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(1);
    displayText_ = new QLabel(textColumn_);
    displayText_->setObjectName(QStringLiteral("displayText"));
    column->addWidget(displayText_);
    progress_ = new QProgressBar(textColumn_);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setTextVisible(false);
    progress_->setFixedHeight(8);
    progress_->setRange(0, 0);
    progress_->setAccessibleName(tr("Progress"));
    column->addWidget(progress_);
    scheduledMark_ = new ActionBusyIndicator(textColumn_);
    scheduledMark_->setFixedHeight(8);
    column->addWidget(scheduledMark_);
    row->addWidget(textColumn_, 1);
    cancelButton_ = new QToolButton(this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    cancelButton_->setText(QStringLiteral("×"));
    cancelButton_->setAccessibleName(tr("Cancel"));
    cancelButton_->setFocusPolicy(Qt::NoFocus);
    row->addWidget(cancelButton_, 0, Qt::AlignVCenter);
    connect(cancelButton_, &QToolButton::clicked, this, [this] { doCancel(); });
    errorRemove_.setCallback([this] {
        if (const auto entry = feedBack())
            entry->postFeedBackNotify({{jobnames::kFeedBackEntryKey, QVariant::fromValue(entry)}, {jobnames::kFeedEndActionKey, 0}});
    });
    // Loaded state: the mark, not the bar.
    progress_->show();
    doStartProgress(false);
}

ActionMasterView::~ActionMasterView()
{
    stopObserving();
}

ActionMasterView* ActionMasterView::loadNamedActionMasterView(const QString& name, QWidget* owner)
{
    const auto& makers = rowMakers();
    const auto found = makers.find(name);
    return found == makers.end() ? nullptr : found->second(owner);
}

QString ActionMasterView::displayTextOf(const QVFeedBack& entry)
{
    const QString text = entry.displayString();
    if (!text.trimmed().isEmpty())
        return text;
    const QString description = entry.description();
    return description.isEmpty() ? tr("Job") : tr("Job") + QStringLiteral(" ") + description;
}

void ActionMasterView::observe(const std::shared_ptr<QVFeedBack>& entry)
{
    observed_ = entry.get();
    observeFeedBackOnGuiThread(entry, this, &ActionMasterView::feedBackNotify);
}

void ActionMasterView::stopObserving()
{
    if (!observed_)
        return;
    if (const auto entry = feedBack_.lock())
        entry->stopFeedBackNotification(this);
    observed_ = nullptr;
}

void ActionMasterView::setFeedBack(const std::shared_ptr<QVFeedBack>& entry)
{
    stopObserving();
    feedBack_ = entry;
    if (!entry)
        return;
    observe(entry);
    refreshText();
    const int status = entry->feedBackStatus();
    doStartProgress(status == 1 || status == 2);
}

void ActionMasterView::refreshText()
{
    const auto entry = feedBack();
    displayText_->setText(entry ? displayTextOf(*entry) : QString());
    setAccessibleName(displayText_->text());
}

void ActionMasterView::addTrailingWidget(QWidget* widget)
{
    auto* row = static_cast<QHBoxLayout*>(layout());
    row->insertWidget(row->indexOf(cancelButton_), widget, 0, Qt::AlignVCenter);
}

QString ActionMasterView::errorText() const
{
    const auto entry = feedBack();
    const QString own = entry ? entry->feedBackErrorString().trimmed() : QString();
    bool numeric = false;
    own.toLongLong(&numeric);
    // No text of its own (or only the generic word or a bare number): the
    // end code's explanation.
    if (!own.isEmpty() && !numeric && own != jobnames::kDefaultErrorString)
        return own;
    return DeviceWindowController::explanation(numeric ? own.toInt() : endCode_);
}

void ActionMasterView::setInErrorMod(int code)
{
    if (!isInErrorMod_) {
        isInErrorMod_ = true;
        endCode_ = code;
        scheduledMark_->startBusyAnimation(false);
        progress_->hide();
        cancelButton_->show();
        cancelButton_->setAccessibleName(tr("Remove"));
        if (const auto entry = feedBack())
            setAccessibleDescription(errorText());
        if (hasFocus() && onErrorFocus)
            onErrorFocus(this, true);
    }
    update();
}

void ActionMasterView::doCancel()
{
    const auto entry = feedBack();
    if (!entry)
        return;
    if (isInErrorMod_) {
        if (!errorRemove_.isActive())
            errorRemove_.start(kErrorRemoveDelay);
        return;
    }
    if (entry->cancelAction()) {
        cancelButton_->hide();
        progress_->setRange(0, 0);
    }
}

void ActionMasterView::setDoAnimate(bool animate)
{
    animating_ = animate;
    scheduledMark_->blockAnimation(animate);
}

void ActionMasterView::feedBackNotify(const platform::Notification& notification)
{
    const auto entry = feedBack();
    if (!entry)
        return;
    refreshText();
    const int status = entry->feedBackStatus();
    doStartProgress(status == 1 || status == 2);
    const QVariantMap& info = notification.userInfo;
    if (info.contains(jobnames::kFeedProcessActionKey)) {
        const double percent = info.value(jobnames::kFeedProcessActionKey).toDouble();
        if (percent < 0) {
            progress_->setRange(0, 0);
        } else {
            progress_->setRange(0, 100);
            progress_->setValue(int(std::min(100.0, percent)));
        }
        progress_->update();
    } else if (info.contains(jobnames::kFeedStartActionKey) || info.contains(jobnames::kFeedPreprocessStartKey)) {
        progress_->update();
    } else if (info.contains(jobnames::kFeedEndActionKey)) {
        progress_->hide();
    }
}

void ActionMasterView::doStartProgress(bool show)
{
    if (progress_->isHidden() != show)
        return;
    scheduledMark_->startBusyAnimation(!show);
    progress_->setVisible(show);
}

void ActionMasterView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (isInErrorMod_) {
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath badge;
        badge.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), kBadgeRadius, kBadgeRadius);
        painter.fillPath(badge, QColor::fromRgbF(1.0f, 0.388f, 0.388f, 0.4f));
        const QImage& attention = attentionImage();
        if (!attention.isNull())
            painter.drawImage(QPoint(kAttentionX, 0), attention);
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -2));
    }
    painter.setPen(QColor(160, 160, 160));
    painter.drawLine(0, height() - 1, width(), height() - 1);
}

void ActionMasterView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Space || event->key() == Qt::Key_Backspace) {
        doCancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ActionMasterView::enterEvent(QEnterEvent* event)
{
    if (isInErrorMod_ && onHover)
        onHover(this, true);
    QWidget::enterEvent(event);
}

void ActionMasterView::leaveEvent(QEvent* event)
{
    if (onHover)
        onHover(this, false);
    QWidget::leaveEvent(event);
}

void ActionMasterView::focusInEvent(QFocusEvent* event)
{
    if (isInErrorMod_ && onErrorFocus)
        onErrorFocus(this, true);
    update();
    QWidget::focusInEvent(event);
}

void ActionMasterView::focusOutEvent(QFocusEvent* event)
{
    if (isInErrorMod_ && onErrorFocus)
        onErrorFocus(this, false);
    update();
    QWidget::focusOutEvent(event);
}
