#include "devicewindow/HistoryView.h"

#include "devicewindow/ActionMasterPlace.h"
#include "devicewindow/AnimatedHistoryContainer.h"
#include "devicewindow/DeviceWindowCenters.h"
#include "devicewindow/TimeController.h"
#include "devicewindow/DeviceWindowController.h"

#include "device/MFDeviceInfo.h"
#include "phone/MFDevice.h"
#include "platform/Localization.h"
#include "platform/gui/Images.h"
#include "widgets/BetterSplitView.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString historyViewSetting(const MFDevice& device, const char* key)
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
    const QString model = historyViewSetting(device, "Dorvanti.Model");
    return model.isEmpty() ? name
                           : QStringLiteral("%1 %2").arg(historyViewSetting(device, "Dorvanti.Manufacturer"), model).trimmed();
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
    // The phone on the left, the strip of its snapshot dates on the right.
    auto* top = new QWidget(split_);
    top->setObjectName(QStringLiteral("historyTop"));
    auto* row = new QHBoxLayout(top);
    auto* summary = new QWidget(top);
    summary->setObjectName(QStringLiteral("historySummary"));
    row->addWidget(summary, 3);
    strip_ = new AnimatedHistoryContainer(top);
    strip_->setMinimumWidth(260);
    strip_->hide();
    row->addWidget(strip_, 2);
    auto* layout = new QVBoxLayout(summary);
    layout->addStretch(1);
    const auto makeLabel = [summary, layout](const char* name, qreal scale) {
        auto* label = new QLabel(summary);
        label->setObjectName(QLatin1String(name));
        label->setAlignment(Qt::AlignCenter);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * scale);
        label->setFont(font);
        layout->addWidget(label);
        return label;
    };
    title_ = makeLabel("historyTitle", 1.2);
    title_->hide();
    picture_ = new QLabel(summary);
    picture_->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture_);
    name_ = makeLabel("historyName", 1.4);
    model_ = makeLabel("historyModel", 1.0);
    connection_ = makeLabel("historyConnection", 1.0);
    battery_ = makeLabel("historyBattery", 1.0);
    lastBackup_ = makeLabel("historyLastBackup", 1.0);
    backUpNow_ = new QPushButton(tr("Back Up Now"), summary);
    backUpNow_->setObjectName(QStringLiteral("backUpNow"));
    layout->addWidget(backUpNow_, 0, Qt::AlignHCenter);
    layout->addStretch(2);
    connect(strip_, &AnimatedHistoryContainer::dateChosen, this, [this](int index) { chooseDate(index); });
    split_->addWidget(top);
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
    reloadHistory();
    showDevice();
}

void HistoryView::setMFDevice(MFDevice* device)
{
    ToolView::setMFDevice(device);
    reloadHistory();
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
        for (QLabel* label : {name_.data(), model_.data(), connection_.data(), battery_.data(), lastBackup_.data()})
            label->clear();
        picture_->clear();
        title_->hide();
        backUpNow_->show();
        return;
    }
    const QImage picture = platform::gui::image(QStringLiteral("program"), QStringLiteral("DefaultHandyLogo_big"));
    if (!picture.isNull())
        picture_->setPixmap(
            QPixmap::fromImage(picture.scaled(QSize(120, 120), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    name_->setText(shownName(*device));
    const QString model = QStringLiteral("%1 %2")
                              .arg(historyViewSetting(*device, "Dorvanti.Manufacturer"),
                                   historyViewSetting(*device, "Dorvanti.Model"))
                              .trimmed();
    // A phone that goes by its model needs no second line for it.
    model_->setText(model == name_->text() ? QString() : model);
    const bool history = device->isHistory();
    backUpNow_->setVisible(!history);
    if (history) {
        connection_->setText(tr("Archive"));
        battery_->clear();
        const QString when = timeController_ && timeController_->chosenSnapshot() >= 0
            ? TimeController::dateText(timeController_->snapshots().at(timeController_->chosenSnapshot()).time)
            : device->curHistoryTime();
        title_->setText(platform::localizedString(QStringLiteral("Archive of %1")).arg(shownName(*device)) + (when.isEmpty() ? QString() : QStringLiteral("\n") + when));
        title_->show();
    } else {
        title_->hide();
        const QString type = device->connType();
        connection_->setText(type.isEmpty() ? QString() : tr("Connected over %1").arg(type));
        const int level = device->lastBatteryValue();
        battery_->setText(level >= 0 ? tr("Battery %1 %").arg(level) + (device->batteryIsPowerPluged() ? tr(", charging") : QString())
                                     : QString());
    }
    // The newest snapshot is the last backup.
    const QList<TimeController::Snapshot> snapshots =
        TimeController::snapshotsOf(device->historyFiles(), device->historyOrganizerFiles());
    lastBackup_->setText(snapshots.isEmpty() ? platform::localizedString(QStringLiteral("NoBackupYet"))
                                             : platform::localizedString(QStringLiteral("LastBackup")).arg(TimeController::dateText(snapshots.last().time)));
}

void HistoryView::switchToControlerCenter(const QString& center)
{
    controlerCenter_ = center;
    if (windowController() && windowController()->centers() && !center.isEmpty())
        windowController()->centers()->switchToNamedCenter(center);
}

void HistoryView::reloadHistory()
{
    MFDevice* device = getMFDevice();
    strip_->clearHistoryView();
    if (!device) {
        strip_->hide();
        return;
    }
    if (!timeController_) {
        timeController_ = new TimeController(this);
        if (device->isHistory() && windowController() && windowController()->centers()
            && !windowController()->centers()->timeController())
            windowController()->centers()->setTimeController(timeController_);
    }
    const int chosen = timeController_->chosenSnapshot();
    timeController_->setMFDevice(device);
    const QStringList dates = timeController_->snapshotDates();
    for (const QString& date : dates)
        strip_->addHistory(date);
    strip_->setVisible(!dates.isEmpty());
    if (dates.isEmpty())
        return;
    if (device->isHistory()) {
        const int index = timeController_->chooseSnapshot(chosen);
        strip_->setSelectedDate(index);
    } else {
        strip_->setSelectedDate(int(dates.size()) - 1);
    }
}

void HistoryView::chooseDate(int index)
{
    MFDevice* device = getMFDevice();
    if (!device || !timeController_ || timeController_->snapshots().isEmpty())
        return;
    if (!device->isHistory()) {
        // A live phone's strip only shows its backups.
        strip_->setSelectedDate(index);
        return;
    }
    const int chosen = timeController_->chooseSnapshot(index);
    if (strip_->selectedDate() != chosen)
        strip_->setSelectedDate(chosen);
    showDevice();
    if (windowController() && windowController()->centers())
        windowController()->centers()->syncBothTimeControllers();
}

QString HistoryView::stateInfo() const
{
    return timeController_ && timeController_->chosenSnapshot() >= 0 ? QString::number(timeController_->chosenSnapshot())
                                                                      : QString();
}

void HistoryView::processStateInfo(const QString& rest)
{
    const QString first = rest.section(QLatin1Char('\t'), 0, 0);
    if (first == QLatin1String("Wizard")) {
        if (windowController())
            windowController()->processWizardState(rest);
        return;
    }
    bool number = false;
    const int index = first.toInt(&number);
    if (number)
        chooseDate(index);
}
