#pragma once

#include "devicewindow/ActionMasterPlace.h"
#include "devicewindow/DeviceWindowController.h"

#include "jobs/QVFeedBack.h"

#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <memory>

class ActionMasterHdlr;
class ActionMasterPlace;
class DeviceDataManager;
class FileDragAndDrop;
class DeviceWindowController;
class MFDevice;
class QPainter;

// The base of every center of the device window: ties it to its window and
// phone, answers the common questions about the phone, hands jobs to the
// window's queue (which it shows in its ActionMasterPlace, when it has one)
// and defines the hooks through which the window activates, deactivates and
// restores it.
class ToolView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kOutOfDateInset = 16;
    static constexpr int kUpdatingInset = 14;
    static constexpr int kMarkBottomInset = 2;

    explicit ToolView(QWidget* parent = nullptr);
    ~ToolView() override;

    // The row marks of list entries: out of date, and being updated (the
    // image or its mirror, by floor(seconds × 3) & 1).
    static void drawOutOfDateMarkInList(QPainter& painter, const QRectF& row, int rowHeight);
    static void drawPreviewMarkInList(QPainter& painter, const QRectF& row, int rowHeight);
    static bool updatingMarkMirrored(double seconds);

    // The phone.
    bool isHistory() const;
    bool isUSB() const;
    bool isBluetooth() const;
    bool canModify() const;
    bool hasDevice() const;
    DeviceDataManager* dataManager() const;
    MFDevice* getMFDevice() const { return mfDevice_; }
    virtual void setMFDevice(MFDevice* device) { mfDevice_ = device; }
    DeviceWindowController* windowController() const { return mfController_; }
    virtual void setup(DeviceWindowController* controller, MFDevice* device);

    // Hooks of the window.
    virtual void establishConnectionToTimeTunnel() { }
    virtual void processStateInfo(const QString& /*rest*/) { }
    virtual QString stateInfo() const { return QStringLiteral("not implemented"); }
    virtual bool canProcessStateInfo() const { return true; }
    virtual bool canDeactivate() { return true; }
    virtual void activate() { }
    virtual void deactivate() { }
    virtual void startBackgroundActionsNow() { }
    // Whole size of container at its origin, hidden until shown by a switch.
    void adaptToSuperView(QWidget* container);
    void doDisplayTimedOutFolder(const QString& folder);
    // Ends the application's modal loop.
    void modalWindowClosed();

    // The queue.
    bool addFeedBackToMaster(const std::shared_ptr<QVFeedBack>& entry);
    // The file browser's drag object (the window's); none without a window.
    virtual FileDragAndDrop* getFileDragAndDrop() const;
    void removeActionMaster();
    void addActionMaster(ActionMasterHdlr* master);
    void setActionPlace(ActionMasterPlace* place) { actionMasterPlace_ = place; }
    ActionMasterPlace* actionPlace() const { return actionMasterPlace_; }

private:
    QPointer<ActionMasterPlace> actionMasterPlace_;
    QPointer<DeviceWindowController> mfController_;
    MFDevice* mfDevice_ = nullptr;
};
