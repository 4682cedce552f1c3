#include "devicewindow/ToolView.h"

#include "devicewindow/ActionMasterPlace.h"
#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/ValidateForFeedBack.h"

#include "device/MainThreadSchedulerAdditions.h"
#include "links/FileTransferConnection.h"
#include "phone/MFDevice.h"
#include "platform/Clock.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/gui/Images.h"

#include <QApplication>
#include <QEventLoop>
#include <QPainter>

#include <cmath>

namespace {

const QImage& outOfDateImage()
{
    static const QImage image = platform::gui::image(QStringLiteral("program"), QStringLiteral("OutOffDate"));
    return image;
}

const QImage& updatingImage(bool mirrored)
{
    static const QImage plain = platform::gui::image(QStringLiteral("program"), QStringLiteral("Updating"));
    static const QImage mirror = plain.mirrored(true, false);
    return mirrored ? mirror : plain;
}

} // namespace

ToolView::ToolView(QWidget* parent) : QWidget(parent) { }

ToolView::~ToolView()
{
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    // Calls queued for this center must never reach it once it is gone.
    removeAllScheduleds(this);
}

void ToolView::drawOutOfDateMarkInList(QPainter& painter, const QRectF& row, int rowHeight)
{
    const QImage& mark = outOfDateImage();
    if (mark.isNull())
        return;
    // The mark's bottom sits kMarkBottomInset above the row's end.
    const QPointF bottomLeft(row.x() + row.width() - kOutOfDateInset, row.y() + rowHeight - kMarkBottomInset);
    painter.drawImage(QPointF(bottomLeft.x(), bottomLeft.y() - mark.height()), mark);
}

bool ToolView::updatingMarkMirrored(double seconds)
{
    return (static_cast<long long>(std::floor(seconds * 3)) & 1) != 0;
}

void ToolView::drawPreviewMarkInList(QPainter& painter, const QRectF& row, int rowHeight)
{
    const double seconds = platform::Clock::instance().currentDateTime().toMSecsSinceEpoch() / 1000.0;
    const QImage& mark = updatingImage(updatingMarkMirrored(seconds));
    if (mark.isNull())
        return;
    const QPointF bottomLeft(row.x() + row.width() - kUpdatingInset, row.y() + rowHeight - kMarkBottomInset);
    painter.drawImage(QPointF(bottomLeft.x(), bottomLeft.y() - mark.height()), mark);
}

bool ToolView::isHistory() const
{
    return mfDevice_ && mfDevice_->isHistory();
}

bool ToolView::isUSB() const
{
    return mfDevice_ && mfDevice_->ftpConnection() && mfDevice_->ftpConnection()->isUSB();
}

bool ToolView::isBluetooth() const
{
    return mfDevice_ && mfDevice_->ftpConnection() && mfDevice_->ftpConnection()->isBluetooth();
}

bool ToolView::canModify() const
{
    return hasDevice() && !isHistory();
}

bool ToolView::hasDevice() const
{
    return mfController_ && mfController_->hasDevice();
}

DeviceDataManager* ToolView::dataManager() const
{
    return mfDevice_ ? mfDevice_->dataManager() : nullptr;
}

void ToolView::setup(DeviceWindowController* controller, MFDevice* device)
{
    mfController_ = controller;
    mfDevice_ = device;
}

void ToolView::adaptToSuperView(QWidget* container)
{
    if (!container)
        return;
    move(0, 0);
    resize(container->size());
    hide();
    update();
}

void ToolView::doDisplayTimedOutFolder(const QString& folder)
{
    if (!mfController_)
        return;
    const QString text = platform::localizedString(QStringLiteral("CouldNotGetDir")).arg(folder);
    mfController_->displayErrorText(2, QStringLiteral("-21881"), text);
}

void ToolView::modalWindowClosed()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        modal->close();
}

FileDragAndDrop* ToolView::getFileDragAndDrop() const
{
    return mfController_ ? mfController_->getFileDragAndDrop() : nullptr;
}

bool ToolView::addFeedBackToMaster(const std::shared_ptr<QVFeedBack>& entry)
{
    if (!mfController_)
        return false;
    const bool added = mfController_->addFeedBackToMaster(entry);
    if (added)
        ValidateForFeedBack::allocValidateForFeedBack(this, entry);
    return added;
}

void ToolView::removeActionMaster()
{
    if (actionMasterPlace_)
        actionMasterPlace_->removeActionMaster();
}

void ToolView::addActionMaster(ActionMasterHdlr* master)
{
    if (actionMasterPlace_)
        actionMasterPlace_->addActionMaster(master);
}
