#pragma once

#include <QAction>

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QToolBar>

class MFDevice;
class QAction;

// What the device window's toolbar asks its window.
class DeviceToolbarDelegate {
public:
    virtual ~DeviceToolbarDelegate() = default;
    virtual void switchToCenter(const QString& identifier) = 0;
    virtual void connectionCenter() = 0;
    virtual void timeTunnel() = 0;
    virtual bool validateToolbarItem(const QString& identifier) = 0;
    // The print item's action; the window prints nothing yet.
    virtual void printDocument() { }
};

// The device window's toolbar: the center items by toolbar identifier, in
// the default order of a phone window or of a history window. Qt toolbars
// have no customisation palette, so the items are the default ones, in
// their order, and no "Customize" item is offered; the allowed list is kept
// for the day one is.
class DeviceToolbar : public QToolBar {
    Q_OBJECT

public:
    static inline const QString kHome = QStringLiteral("Home ToolbarIdentifier");
    static inline const QString kBackup = QStringLiteral("Backup ToolbarIdentifier");
    static inline const QString kMobileFinder = QStringLiteral("MobileFinder ToolbarIdentifier");
    static inline const QString kOrganizer = QStringLiteral("Organizer ToolbarIdentifier");
    static inline const QString kMediaCenter = QStringLiteral("MediaCenter ToolbarIdentifier");
    static inline const QString kTimeTunnel = QStringLiteral("TimeTunnel ToolbarIdentifier");
    static inline const QString kRestoreDevice = QStringLiteral("RestoreDevice ToolbarIdentifier");
    static inline const QString kMusic = QStringLiteral("Music ToolbarIdentifier");
    static inline const QString kDeviceToolbar = QStringLiteral("Device_Dorvanti ToolbarIdentifier Vers.6");
    static inline const QString kHistoryToolbar = QStringLiteral("History_Dorvanti ToolbarIdentifier Vers.5");
    static inline const QString kSpace = QStringLiteral("NSToolbarSpaceItem");
    static inline const QString kFlexibleSpace = QStringLiteral("NSToolbarFlexibleSpaceItem");
    static inline const QString kSeparator = QStringLiteral("NSToolbarSeparatorItem");
    static inline const QString kPrint = QStringLiteral("NSToolbarPrintItem");
    static inline const QString kPrintTip = QStringLiteral("Print Your Document");
    static constexpr int kSpaceWidth = 8;

    DeviceToolbar(bool history, DeviceToolbarDelegate* delegate, QWidget* parent = nullptr);

    static QString toolbarIdentifier(bool history) { return history ? kHistoryToolbar : kDeviceToolbar; }
    static QStringList defaultItemIdentifiers(bool history);
    static QStringList allowedItemIdentifiers(bool history);
    // The item name behind the label and tool tip keys, and the image name.
    static QString itemName(const QString& identifier);
    static QString imageName(const QString& identifier);

    // Whether the item is on for the window's phone: nothing while a
    // main-thread call runs; files and organizer by the phone's services,
    // media with a phone, the time tunnel for a live phone, restore for a
    // history phone, home and backup always.
    static bool validateItemFor(const QString& identifier, const MFDevice* device, bool mainThreadCallRunning);

    bool isHistory() const { return history_; }
    QString identifier() const { return toolbarIdentifier(history_); }
    // The item for identifier (label "%@_Lbl", tool tip "%@_Tip"), or null
    // for an identifier the toolbar does not know.
    QAction* itemForItemIdentifier(const QString& identifier);
    QAction* item(const QString& identifier) const;
    // Called for every item as it is added: the print item gets its tool
    // tip ("Print Your Document") and prints through the delegate; the
    // restore item is kept and has no action of its own.
    void toolbarWillAddItem(QAction* item);
    QAction* restoreToolbarViewItem() const { return restoreAction_; }
    // The restore pop-up's place in a history toolbar.
    void setRestoreView(QWidget* view);
    QWidget* restoreView() const { return restoreView_; }
    // Asks the delegate about every center item.
    void validateItems();
    // The items' identifiers in toolbar order (spaces and separators too).
    QStringList itemIdentifiers() const { return order_; }

private:
    void addIdentifier(const QString& identifier);

    DeviceToolbarDelegate* delegate_;
    bool history_;
    QStringList order_;
    QPointer<QWidget> restoreView_;
    QPointer<QAction> restoreAction_;
};
