#include "devicewindow/HistoryView.h"

#include "devicewindow/DeviceWindowController.h"

#include "phone/MFDevice.h"
#include "platform/gui/Images.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

HistoryView::HistoryView(QWidget* parent) : ToolView(parent)
{
    setObjectName(QStringLiteral("HistoryView"));
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    picture_ = new QLabel(this);
    picture_->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture_);
    const auto makeLabel = [this, layout](const char* name, qreal scale) {
        auto* label = new QLabel(this);
        label->setObjectName(QLatin1String(name));
        label->setAlignment(Qt::AlignCenter);
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * scale);
        label->setFont(font);
        layout->addWidget(label);
        return label;
    };
    name_ = makeLabel("historyName", 1.4);
    connection_ = makeLabel("historyConnection", 1.0);
    battery_ = makeLabel("historyBattery", 1.0);
    backUpNow_ = new QPushButton(tr("Back Up Now"), this);
    backUpNow_->setObjectName(QStringLiteral("backUpNow"));
    layout->addWidget(backUpNow_, 0, Qt::AlignHCenter);
    layout->addStretch(2);
}

void HistoryView::setup(DeviceWindowController* controller, MFDevice* device)
{
    ToolView::setup(controller, device);
    showDevice();
}

void HistoryView::setMFDevice(MFDevice* device)
{
    ToolView::setMFDevice(device);
    showDevice();
}

void HistoryView::cancelDeviceAdding()
{
    if (windowController())
        windowController()->host().cancelDeviceAdding(windowController());
}

void HistoryView::showDevice()
{
    MFDevice* device = getMFDevice();
    if (!device) {
        name_->clear();
        connection_->clear();
        battery_->clear();
        picture_->clear();
        return;
    }
    const QImage picture = platform::gui::image(QStringLiteral("program"), QStringLiteral("DefaultHandyLogo_big"));
    if (!picture.isNull())
        picture_->setPixmap(
            QPixmap::fromImage(picture.scaled(QSize(120, 120), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    name_->setText(device->getDeviceName());
    connection_->setText(device->isHistory() ? tr("Archive") : device->connType());
    const int level = device->lastBatteryValue();
    battery_->setText(level >= 0 ? tr("Battery %1 %").arg(level) : QString());
}
