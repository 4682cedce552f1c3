// The main window's phone picture and name over the panes.
#include "app/TarnexController.h"

#include "app/MainWindow.h"
#include "app/MirrovanceDevice.h"
#include "app/TarnexControllerParts.h"
#include "app/TarnexImages.h"
#include "app/TarnexKeys.h"
#include "phone/DeviceEntryMakers.h"

#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"

#include <QGraphicsOpacityEffect>

#include <cmath>

namespace {

using namespace tarnexkeys;
using tarnexparts::key;

} // namespace

QString TarnexController::imageNameForQVID(int deviceID)
{
    switch (deviceID) {
    case 15320:
        return QStringLiteral("QUALCOMM INCORPORATED+KU990");
    case 15332:
        return QStringLiteral("LG Electronics+KF750");
    case 15333:
        return QStringLiteral("QUALCOMM INCORPORATED+HB620T");
    case 15450:
        return QStringLiteral("LG Elec. Inc+KS360");
    case 15451:
        return QStringLiteral("LG Electronics Inc+GD900");
    default:
        return key(kDefaultHandyLogo);
    }
}

QString TarnexController::pictureNameForEntry(const QVariantMap& entry)
{
    const QVariant identifier = entry.value(deviceentry::kIdentifier);
    const QString name = identifier.typeId() == QMetaType::QString ? identifier.toString() : QString();
    return name.isEmpty() ? imageNameForQVID(entry.value(deviceentry::kDeviceID).toInt()) : name;
}

QString TarnexController::phonePictureName() const
{
    if (!device_ || !device_->hasDorvantiDict())
        return {};
    return pictureNameForEntry(device_->dorvantiDict());
}

void TarnexController::showPhoneIcon(bool show)
{
    const QString name = show ? phonePictureName() : QString();
    if (name.isEmpty()) {
        pictureFade_.stop();
        if (deviceImage_) {
            deviceImage_->hide();
            deviceImage_->clear();
            deviceImage_->setGraphicsEffect(nullptr);
        }
        setDeviceName(QString());
        if (logoImageView_) {
            logoImageView_->setGraphicsEffect(nullptr);
            logoImageView_->show();
        }
        showingPhone_ = false;
        return;
    }
    QString pictureName = fillFormat(key(kBigPictureFormat), {name});
    if (!platform::gui::hasImage(QLatin1String(platform::gui::kProgramBundle), pictureName))
        pictureName = fillFormat(key(kBigPictureFormat), {key(kDefaultHandyLogo)});
    shownPictureName_ = pictureName;
    const QVariant deviceName = device_->dorvantiDict().value(deviceentry::kDeviceName);
    setDeviceName(deviceName.typeId() == QMetaType::QString ? deviceName.toString() : QString());
    if (deviceImage_) {
        const QImage picture = tarnex::image(pictureName);
        deviceImage_->setPixmap(QPixmap::fromImage(picture));
        const QSize size = picture.deviceIndependentSize().toSize();
        const int nameTop = deviceName_ ? deviceName_->y() : deviceImage_->parentWidget()->height();
        deviceImage_->setGeometry((mainwindow::kWidth - size.width()) / 2, nameTop - kPictureAboveName - size.height(),
                                  size.width(), size.height());
        deviceImage_->show();
    }
    if (!showingPhone_ && deviceImage_ && logoImageView_) {
        auto* pictureIn = new QGraphicsOpacityEffect(deviceImage_);
        auto* logoOut = new QGraphicsOpacityEffect(logoImageView_);
        pictureIn->setOpacity(0);
        deviceImage_->setGraphicsEffect(pictureIn);
        logoImageView_->setGraphicsEffect(logoOut);
        QPointer<QGraphicsOpacityEffect> in = pictureIn;
        QPointer<QGraphicsOpacityEffect> out = logoOut;
        pictureFade_.setProgressHandler([this, in, out](double progress) {
            const double eased = 0.5 - std::cos(progress * M_PI) / 2;
            if (in)
                in->setOpacity(eased);
            if (out)
                out->setOpacity(1 - eased);
            if (progress >= 1.0) {
                if (logoImageView_)
                    logoImageView_->hide();
                if (deviceImage_)
                    deviceImage_->setGraphicsEffect(nullptr);
            }
        });
        pictureFade_.start();
    } else if (logoImageView_) {
        logoImageView_->hide();
    }
    showingPhone_ = true;
}

void TarnexController::setDeviceName(const QString& name)
{
    if (!deviceName_)
        return;
    if (name.isEmpty()) {
        deviceName_->clear();
        deviceName_->hide();
        return;
    }
    QFont font = deviceName_->font();
    font.setPointSize(14);
    deviceName_->setFont(font);
    deviceName_->setStyleSheet(QStringLiteral("color: white;"));
    deviceName_->setText(name);
    deviceName_->show();
}
