#pragma once

#include "devicewindow/ToolView.h"

#include <QStringList>

class ImageTabViewItem;
class QTabWidget;

// The device window's media center ("MediaCenterMainView"): the tabs
// "Music", "PhotoVideo" and "Ringtone", the last one chosen remembered in the
// phone's settings. The window's media drops land in their tab and are
// uploaded; the program's badge counts come from the open centers.
class MediaCenterMain : public ToolView {
    Q_OBJECT

public:
    static inline const QString kViewName = QStringLiteral("MediaCenterMainView");
    static inline const QString kLastTabKey = QStringLiteral("User.MediaCenterLastSelectedTab");

    explicit MediaCenterMain(QWidget* parent = nullptr);
    ~MediaCenterMain() override;

    // ToolView
    void activate() override;
    void deactivate() override;
    void startBackgroundActionsNow() override;
    FileDragAndDrop* getFileDragAndDrop() const override;

    ImageTabViewItem* tab(const QString& kind) const;
    ImageTabViewItem* currentTab() const;
    void selectTab(const QString& kind);
    QTabWidget* tabView() const { return tabs_; }

    // The window's drops.
    void simpleDropMusic(const QStringList& files);
    void simpleDropVideoPhoto(const QStringList& files);
    void simpleDropRingTone(const QStringList& files);

    // Running conversions and transfers of this center; true when either
    // is above 0. There is no music-player sync here: with onlyITunesSync
    // nothing counts.
    bool checkForMediaProzesses(int& conversions, int& transfers, bool onlyITunesSync = false) const;
    // The same over every media center of a live phone.
    static bool checkAllForMediaProzesses(int& conversions, int& transfers);
    // A transfer started or ended: "NotifyMediaCenterMainProgress".
    void mediaProgressChanged();

private:
    void tabChanged(int index);

    QTabWidget* tabs_;
    bool activating_ = false;
};
