#pragma once

#include "lumwick/AKPaneController.h"

#include <QString>

#include <memory>

class MFDevice;
class MirrovanceDevice;
class TarnexController;

// The base of the main window's panes: a wizard pane loaded from the
// program's bundle, named from its string table, that reaches the phone
// object and the open phone through the main window controller.
class TarnexPaneController : public AKPaneController {
public:
    QString bundleName() const override;
    QString stringTable() const override;

    // The phone object (the main window controller's), and its open phone.
    std::shared_ptr<MirrovanceDevice> mirrovanceDevice() const;
    std::shared_ptr<MFDevice> getMFDevice() const;
    TarnexController* tarnex() const;

    // Sent by the main window to the panes that answer them.
    virtual void unload() {}
    virtual void newHandset(const QString& /*how*/) {}
    virtual void settingsButtonPressed() {}
    virtual void setButtonsEnabled(bool /*enabled*/) {}
};

// The first pane when no phone is known: leads the user to add one.
class WelcomeController : public TarnexPaneController {
public:
    QString defaultNibName() const override;
    QString localizationKey() const override;
    void startProcessing() override;
    void stopProcessing() override;
};

// A pane whose real contents are still to come: its form says so. One that
// offers Previous shows the button, enabled, while it is on show (the button
// is left as it was when the pane stops), so the user can go back.
class PlaceholderPaneController : public TarnexPaneController {
public:
    PlaceholderPaneController(QString nibName, QString key, bool offersPrevious = false);
    QString defaultNibName() const override { return nibName_; }
    QString localizationKey() const override { return key_; }
    bool offersPrevious() const { return offersPrevious_; }
    void startProcessing() override;
    void stopProcessing() override;

private:
    QString nibName_;
    QString key_;
    bool offersPrevious_ = false;
    bool previousWasShown_ = false;
};
