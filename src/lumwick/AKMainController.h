#pragma once

#include "lumwick/AKPaneController.h"
#include "lumwick/LumwickProtocol.h"
#include "lumwick/QVWizardCallbacks.h"

#include <QDialog>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QPushButton>

#include <functional>
#include <memory>
#include <vector>

class AKBox;

// The stand-alone wizard window: its panes in order, Next and Previous, and
// the end of the wizard, which hands the owner the chosen expert's properties.
class AKMainController : public QObject,
                         public QVWizardCallbacks,
                         public QVWizardNextPaneSwitch,
                         public QVWizardNextButton,
                         public QVWizardPreviousButton,
                         public QVWizardSerialPortNames {
public:
    using PaneFactory = std::function<std::unique_ptr<AKPaneController>()>;

    // The wizard's panes: start, the two given slots (device selection and
    // Bluetooth pairing; a null factory leaves its slot out), final.
    static std::vector<PaneFactory> standardPanes(PaneFactory deviceSelection = {}, PaneFactory bluetoothPairing = {});

    AKMainController(std::shared_ptr<LumwickProtocol> owner, std::vector<PaneFactory> panes);
    ~AKMainController() override;

    // Loads "WizardMain", creates the panes and shows the first one.
    void awakeFromNib();
    void doCustomize();
    QDialog* IBwindow() const { return m_wizardWindow; }

    void goToNextPane() override;
    void goToPreviousPane();
    bool selectNextPaneControllerInDirection(int direction);

    void enableChangeToNextPane(bool enable) override;
    void setNextButtonEnabled(bool enable, const QString& titleKey) override;
    void setPreviousButtonEnabled(bool enable) override;
    bool isValid(const QVariantMap& properties) override;
    QImage getStatusIcon(int kind) override;
    void setDeviceExpert(std::shared_ptr<DeviceExpert> expert) override { m_deviceExpert = std::move(expert); }
    std::shared_ptr<DeviceExpert> deviceExpert() const override { return m_deviceExpert; }
    void setDevice(std::shared_ptr<void> device) override;
    // Asks the owner when it knows the phones; else the base.
    QString getUniqueSerialPortNameWithBaseString(const QString& base) override;
    std::shared_ptr<void> device() const override;

    AKPaneController* currentPaneController() const { return m_currentPaneController; }
    const std::vector<std::unique_ptr<AKPaneController>>& paneControllers() const { return m_paneControllers; }
    QPushButton* nextPaneButton() const { return m_nextPaneButton; }
    QPushButton* previousPaneButton() const { return m_previousPaneButton; }
    QLabel* paneTitle() const { return m_paneTitle; }

    // Asked before Escape cancels the wizard; the default asks the user.
    void setCancelConfirmation(std::function<bool()> confirm) { m_confirmCancel = std::move(confirm); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void initInterface();
    void setPaneTitleForCurrentPane();
    void changeViewToNewCurrentPane(QWidget* oldView);
    int currentIndex() const;

    QPointer<AKBox> m_box;
    QPointer<QLabel> m_logo;
    QPointer<QLabel> m_paneTitle;
    QPointer<QPushButton> m_nextPaneButton;
    QPointer<QPushButton> m_previousPaneButton;
    QPointer<QDialog> m_wizardWindow;
    std::vector<PaneFactory> m_paneFactories;
    std::vector<std::unique_ptr<AKPaneController>> m_paneControllers;
    AKPaneController* m_currentPaneController = nullptr;
    std::shared_ptr<DeviceExpert> m_deviceExpert;
    std::shared_ptr<LumwickProtocol> m_owner;
    std::function<bool()> m_confirmCancel;
};
