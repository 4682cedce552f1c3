#include "devicewindow/media/MediaCenterMain.h"

#include "devicewindow/media/ImageTabViewItem.h"

#include "device/MFDeviceInfo.h"
#include "phone/MFDevice.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"

#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace {
std::vector<MediaCenterMain*>& openMediaCenters()
{
    static std::vector<MediaCenterMain*> centers;
    return centers;
}
const QString kMediaCenterProgressNote = QStringLiteral("NotifyMediaCenterMainProgress");
} // namespace

MediaCenterMain::MediaCenterMain(QWidget* parent) : ToolView(parent), tabs_(new QTabWidget(this))
{
    setObjectName(kViewName);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(tabs_);
    for (const QString& kind : {ImageTabViewItem::kMusic, ImageTabViewItem::kPhotoVideo, ImageTabViewItem::kRingtone})
        tabs_->addTab(new ImageTabViewItem(kind, this),
                      platform::localizedString(kind).replace(QLatin1Char('&'), QStringLiteral("&&")));
    tabs_->setCurrentIndex(1);
    connect(tabs_, &QTabWidget::currentChanged, this, &MediaCenterMain::tabChanged);
    openMediaCenters().push_back(this);
}

MediaCenterMain::~MediaCenterMain()
{
    for (int index = 0; index < tabs_->count(); ++index)
        if (auto* item = qobject_cast<ImageTabViewItem*>(tabs_->widget(index)))
            item->detachCenter();
    auto& centers = openMediaCenters();
    centers.erase(std::remove(centers.begin(), centers.end(), this), centers.end());
}

ImageTabViewItem* MediaCenterMain::tab(const QString& kind) const
{
    for (int index = 0; index < tabs_->count(); ++index)
        if (auto* item = qobject_cast<ImageTabViewItem*>(tabs_->widget(index)); item && item->kind() == kind)
            return item;
    return nullptr;
}

ImageTabViewItem* MediaCenterMain::currentTab() const
{
    return qobject_cast<ImageTabViewItem*>(tabs_->currentWidget());
}

void MediaCenterMain::selectTab(const QString& kind)
{
    if (ImageTabViewItem* item = tab(kind))
        tabs_->setCurrentWidget(item);
}

void MediaCenterMain::activate()
{
    activating_ = true;
    MFDevice* device = getMFDevice();
    const QString remembered =
        device && device->devInfo() ? device->devInfo()->objectForKey(kLastTabKey).toString() : QString();
    if (tab(remembered))
        selectTab(remembered);
    activating_ = false;
    startBackgroundActionsNow();
}

void MediaCenterMain::deactivate()
{
    for (int index = 0; index < tabs_->count(); ++index)
        if (auto* item = qobject_cast<ImageTabViewItem*>(tabs_->widget(index)))
            item->handlePrehearOrPreview(false);
}

void MediaCenterMain::startBackgroundActionsNow()
{
    if (ImageTabViewItem* item = currentTab())
        item->startListing();
}

void MediaCenterMain::tabChanged(int index)
{
    deactivate();
    auto* item = qobject_cast<ImageTabViewItem*>(tabs_->widget(index));
    if (!item)
        return;
    MFDevice* device = getMFDevice();
    if (device && device->devInfo() && !device->isHistory())
        device->devInfo()->setObject(item->kind(), kLastTabKey);
    if (!activating_)
        item->startListing();
}

FileDragAndDrop* MediaCenterMain::getFileDragAndDrop() const
{
    return windowController() ? windowController()->getFileDragAndDrop() : nullptr;
}

void MediaCenterMain::simpleDropMusic(const QStringList& files)
{
    selectTab(ImageTabViewItem::kMusic);
    tab(ImageTabViewItem::kMusic)->importMediaFiles(files);
}

void MediaCenterMain::simpleDropVideoPhoto(const QStringList& files)
{
    selectTab(ImageTabViewItem::kPhotoVideo);
    tab(ImageTabViewItem::kPhotoVideo)->importMediaFiles(files);
}

void MediaCenterMain::simpleDropRingTone(const QStringList& files)
{
    selectTab(ImageTabViewItem::kRingtone);
    tab(ImageTabViewItem::kRingtone)->importMediaFiles(files);
}

bool MediaCenterMain::checkForMediaProzesses(int& conversions, int& transfers, bool onlyITunesSync) const
{
    conversions = 0;
    transfers = 0;
    if (onlyITunesSync)
        return false;
    for (int index = 0; index < tabs_->count(); ++index)
        if (auto* item = qobject_cast<ImageTabViewItem*>(tabs_->widget(index))) {
            const auto [converting, copying] = item->runningCounts();
            conversions += converting;
            transfers += copying;
        }
    return conversions > 0 || transfers > 0;
}

bool MediaCenterMain::checkAllForMediaProzesses(int& conversions, int& transfers)
{
    conversions = 0;
    transfers = 0;
    for (MediaCenterMain* center : openMediaCenters()) {
        MFDevice* device = center->getMFDevice();
        if (!device || device->isHistory())
            continue;
        int converting = 0;
        int copying = 0;
        center->checkForMediaProzesses(converting, copying);
        conversions += converting;
        transfers += copying;
    }
    return conversions > 0 || transfers > 0;
}

void MediaCenterMain::mediaProgressChanged()
{
    platform::NotificationCenter::defaultCenter().post(kMediaCenterProgressNote, getMFDevice());
}
