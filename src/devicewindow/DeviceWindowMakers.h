#pragma once

#include <QImage>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

class DeviceWindowController;
class MFDevice;
class QDialog;
class QWidget;
class ToolView;

// What the phone window shows that higher folders make: the SMS windows, the
// organizer, the teach-in and preferences sheets, the device inspector and
// the debugging report. The program fills these at start; a maker left empty
// means the window does without (nothing opens).
namespace devicewindowmakers {

// The address-book person that best matches a phone number.
struct Person {
    QString displayName;
    QImage image;
};

struct Makers {
    // The best person for a number; none when no card matches.
    std::function<std::optional<Person>(const QString& number)> findBestPersonForNumber;
    // Opens the new-SMS panel with "SMSImageKey", "SMSAddrLabelKey",
    // "SMSMsgTextKey", "SMSMsgWindowKey" and "SMSMsgDragKey".
    std::function<void(const QVariantMap& panelInfo, DeviceWindowController& window)> openNewSMSPanel;
    // Has the organizer center select an SMS message.
    std::function<void(ToolView* organizer, const QVariant& message)> jumpToSMSEntry;
    // Whether the phone's organizer archive holds unsaved changes.
    std::function<bool(MFDevice& device)> isArchiveDirty;
    // The device-preferences sheet of the phone, not yet shown; it ends with
    // 1 when settings changed.
    std::function<QDialog*(MFDevice& device, QWidget* window)> devicePrefsSheet;
    // Starts the setup wizard again (after a stale pairing).
    std::function<void(DeviceWindowController& window)> openWizzard;
    // The device inspector for an entry, its model's database row and the
    // phone's general dictionary (none without a connected phone).
    std::function<QWidget*(const QVariantMap& entry, const QVariantMap& row,
                           const std::optional<QVariantMap>& general, QWidget* window)>
        deviceInspector;
    // The debugging-report panel (its buttons send the report by mail or
    // show its folder), not yet shown, on the window.
    std::function<QDialog*(QWidget* window)> debuggingPanel;
    // The phone's connection was lost and its window closed: the main window
    // returns to the phone list and tells so.
    std::function<void(const QString& phoneName)> connectionLost;
    // The organizer center of the window, not yet set up; without one (or
    // when it answers null) the window shows a "not available" center.
    std::function<ToolView*(DeviceWindowController& window, MFDevice& device)> organizerCenter;
};

Makers& makers();

} // namespace devicewindowmakers
