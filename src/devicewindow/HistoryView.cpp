#include "devicewindow/HistoryView.h"

#include "devicewindow/ActionMasterPlace.h"
#include "devicewindow/DeviceWindowController.h"

#include "device/MFDeviceInfo.h"
#include "phone/MFDevice.h"
#include "platform/gui/Images.h"
#include "widgets/BetterSplitView.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString historySetting(const MFDevice& device, const char* key)
{
    return device.devInfo() ? device.devInfo()->objectForKey(QLatin1String(key)).toString() : QString();
}

} // namespace

QString HistoryView::shownName(const MFDevice& device)
{
    const QString name = device.getDeviceName();
    if (!name.isEmpty() && name != QLatin1String("???"))
        return name;
    // A phone that told no name of its own goes by its model.
    const QString model = historySetting(device, "Dorvanti.Model");
    return model.isEmpty() ? name
                           : QStringLiteral("%1 %2").arg(historySetting(device, "Dorvanti.Manufacturer"), model).trimmed();
}

HistoryView::HistoryView(QWidget* parent) : ToolView(parent)
{
    setObjectName(QStringLiteral("HistoryView"));
    // The phone above, the window's job queue below.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    split_ = new BetterSplitView(this);
    split_->setObjectName(QStringLiteral("historySplit"));
    split_->setOrientation(Qt::Vertical);
    split_->setChildrenCollapsible(false);
    outer->addWidget(split_);
    auto* summary = new QWidget(split_);
    summary->setObjectName(QStringLiteral("historySummary"));
    auto* layout = new QVBoxLayout(summary);
    layout->addStretch(1);
    picture_ = new QLabel(summary);
    picture_->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture_);
    const auto makeLabel = [summary, layout](const char* name, qreal scale) {
        auto* label = new QLabel(summary);
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
    backUpNow_ = new QPushButton(tr("Back Up Now"), summary);
    backUpNow_->setObjectName(QStringLiteral("backUpNow"));
    layout->addWidget(backUpNow_, 0, Qt::AlignHCenter);
    layout->addStretch(2);
    split_->addWidget(summary);
    auto* place = new ActionMasterPlace(split_);
    split_->addWidget(place);
    split_->setDelegate(place);
    split_->setStretchFactor(0, 1);
    split_->setStretchFactor(1, 0);
    split_->setSizes({kSummaryHeight, kQueueHeight});
    setActionPlace(place);
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

void HistoryView::processStateInfo(const QString& rest)
{
    if (windowController())
        windowController()->processWizardState(rest);
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
    name_->setText(shownName(*device));
    connection_->setText(device->isHistory() ? tr("Archive") : device->connType());
    const int level = device->lastBatteryValue();
    battery_->setText(level >= 0 ? tr("Battery %1 %").arg(level) : QString());
}
