#include "widgets/AppLaunchButton.h"

#include "platform/TextEncoding.h"
#include "widgets/AppLauncher.h"
#include "widgets/WidgetsLog.h"

#include <QEvent>

namespace {

constexpr int kBorderInset = 4;

std::optional<quint32> creatorCode(const QString& title)
{
    if (title.size() != 4)
        return std::nullopt;
    const std::optional<QByteArray> bytes = platform::text::encode(title, platform::text::Encoding::MacRoman);
    if (!bytes || bytes->size() != 4)
        return std::nullopt;
    quint32 code = 0;
    for (char byte : *bytes)
        code = (code << 8) | quint8(byte);
    return code;
}

} // namespace

AppLaunchButton::AppLaunchButton(QWidget* parent) : QPushButton(parent)
{
    QWidget::setEnabled(false);
    connect(this, &QAbstractButton::clicked, this, [this] { sendAction(); });
}

void AppLaunchButton::awakeFromNib()
{
    if (const std::optional<quint32> code = creatorCode(alternateTitle_))
        launchCreator_ = *code;
    AppLauncher* launcher = AppLauncher::shared();
    const QImage icon = launcher && launchCreator_ ? launcher->appIconForCreator(launchCreator_) : QImage();
    const QString name = launcher && launchCreator_ ? launcher->appNameForCreator(launchCreator_) : QString();
    if (!icon.isNull())
        setImage(icon);
    if (!name.isEmpty())
        setText(name);
    if (icon.isNull() || name.isEmpty()) {
        if (launchCreator_)
            qCInfo(lcWidgets) << "AppLaunchButton: no program for creator" << alternateTitle_;
        launchCreator_ = 0;
        QWidget::setEnabled(false);
    } else {
        QWidget::setEnabled(true);
    }
    alternateTitle_.clear();
}

void AppLaunchButton::setImage(const QImage& image)
{
    if (image.isNull()) {
        setIcon(QIcon());
        return;
    }
    QSize available = size();
    if (!isFlat())
        available -= QSize(kBorderInset, kBorderInset);
    setIcon(QIcon(QPixmap::fromImage(image)));
    setIconSize(image.size().boundedTo(available));
}

bool AppLaunchButton::isEnabled() const
{
    return launchCreator_ != 0 && QPushButton::isEnabled();
}

int AppLaunchButton::launchAction()
{
    AppLauncher* launcher = AppLauncher::shared();
    return launcher ? launcher->launchAppAndMakeFront(launchCreator_) : -1;
}

bool AppLaunchButton::sendAction()
{
    if (launching_)
        return false;
    launching_ = true;
    launchAction();
    launching_ = false;
    Q_EMIT actionSent();
    return true;
}

bool AppLaunchButton::event(QEvent* event)
{
    // Without a program the button stays disabled, whatever a form or a
    // caller enables.
    if (event->type() == QEvent::EnabledChange && launchCreator_ == 0 && QPushButton::isEnabled())
        QWidget::setEnabled(false);
    return QPushButton::event(event);
}
