#pragma once

#include "lumwick/QVWizardCallbacks.h"

#include <QPointer>
#include <QString>
#include <QWidget>

// One pane of a wizard: a controller that owns one view loaded from its
// interface file and that a host shows one at a time. The wizard's panes load
// from the wizard's bundle; the program's panes override bundleName() and
// stringTable().
class AKPaneController {
public:
    AKPaneController() = default;
    virtual ~AKPaneController();
    AKPaneController(const AKPaneController&) = delete;
    AKPaneController& operator=(const AKPaneController&) = delete;

    // Loads the form named by defaultNibName() from the pane's bundle; false
    // (logged) when it does not load. Hosts create every pane this way.
    bool initWithDefaultNib();
    bool initWithNibAtPath(const QString& bundle, const QString& name);

    // Abstract: both throw platform::Exception
    // ("NSInternalInconsistencyException") unless a pane overrides them.
    virtual QString defaultNibName() const;
    virtual QString localizationKey() const;
    virtual QString bundleName() const;
    virtual QString stringTable() const;

    // The localized text of localizationKey(); a missing text shows the key.
    QString localizedPaneName() const;
    QWidget* wizardPaneView() const { return m_wizardPaneView; }
    QVWizardCallbacks* mainController() const { return m_mainController; }
    void setMainController(QVWizardCallbacks* host) { m_mainController = host; }
    bool isValid(const QVariantMap& properties) const;

    virtual bool doSkipProcessing() { return false; }
    virtual void prepareForDisplay() {}
    virtual void startProcessing() {}
    virtual void stopProcessing() {}
    virtual bool handleNextButton() { return false; }
    virtual bool handlePreviousButton() { return false; }

    // Forward to the host when it answers them; whether anything was sent.
    bool setPreviousButtonEnabled(bool enable);
    bool setNextButtonEnabled(bool enable, const QString& titleKey);
    bool setNextButtonEnabled(bool enable);

    std::shared_ptr<void> device() const;
    void setDevice(std::shared_ptr<void> device);

protected:
    // The outlet named name in the pane's view, or null (logged).
    template <class T>
    T* paneOutlet(const QString& name) const;

private:
    QPointer<QWidget> m_wizardPaneView;
    QVWizardCallbacks* m_mainController = nullptr;   // the host outlives its panes
};

#include "platform/gui/Interface.h"

template <class T>
T* AKPaneController::paneOutlet(const QString& name) const
{
    return platform::gui::outlet<T>(m_wizardPaneView.data(), name);
}
