#pragma once

#include "phone/DorvantiUSBCopyHdlr.h"

#include <QObject>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

// What the application controller asks of the phone documents, the USB copy
// jobs, the organizer trash, the manual and the setup wizard. Each answers
// here as if none were open until the classes that own them take over (the
// program hands its own implementation to AppController::setServices); the
// USB copy jobs are ended by their own handler.
class AppControllerServices {
public:
    virtual ~AppControllerServices() = default;

    // The document controller's quit flags.
    virtual void setQuitRequested(bool) {}
    virtual void setOverwriteBackupWait(bool) {}
    // The quit's first step: the phone documents close, each asking about
    // unsent changes or waiting for its backup. False when there is nothing
    // to close (the quit goes on at once); else done(true) when all closed at
    // once, done(false) when the quit was cancelled; documents that wait go
    // on to the wait for backups themselves.
    virtual bool closeAllDocuments(std::function<void(bool closed)> /*done*/) { return false; }
    // Whether some phone document still runs a backup.
    virtual bool anyBackupPending() const { return false; }
    // Cancels every phone's jobs for the close.
    virtual void doCancelDocuments() {}
    // Tells the first phone whose job queue still holds jobs to close safely;
    // false when there is none left.
    virtual bool closeSafeFirstDoc() { return false; }

    // Terminate steps.
    virtual void terminateUSBCopies() { DorvantiUSBCopyHdlr::terminateDorvantiUSBCopyHdlr(); }
    virtual void saveTrashChangesIfAny() {}

    // Badge counts over the open live phones.
    virtual unsigned checkUnreadSMS() const { return 0; }
    // Sets the totals of conversions and transfers; true when either is above 0.
    virtual bool checkForMediaProzesses(int& conversions, int& transfers) const
    {
        conversions = 0;
        transfers = 0;
        return false;
    }
    // The settings of the phone behind a notification's sender; nothing when
    // the sender is no phone.
    virtual std::optional<QVariantMap> deviceSettings(const void* /*sender*/) const { return std::nullopt; }

    // Manual and diagnostics: true when they handled the request. The manual
    // opens in its own window (at the bookmark when one is given).
    virtual bool sendDebuggingInfo() { return false; }
    virtual bool openManualDocument(std::optional<unsigned> bookmark);

    // The setup wizard's entry object.
    virtual std::unique_ptr<QObject> makeWizardEntry() { return nullptr; }
};
