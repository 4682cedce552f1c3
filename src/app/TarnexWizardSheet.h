#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QPushButton>

#include <functional>
#include <memory>

class AKPaneController;
class BluetoothPairingController;
class DeviceExpert;
class DeviceSelectionController;
class MirrovanceDevice;
class TarnexController;

// The main window's wizard sheet: the setup wizard's selection and pairing
// panes shown one after the other in a sheet over the main window, with the
// main window controller as their host. Next asks the current pane first and
// otherwise goes on: from the selection to the pairing (skipped for a phone
// that needs none) and from a paired phone to the end. The sheet ends with
// 1 and the chosen phone, or with 0 and none.
class TarnexWizardSheet : public QObject {
    Q_OBJECT

public:
    enum Step { kNone = -1, kSelection = 0, kPairing = 1 };

    TarnexWizardSheet(TarnexController& host, QWidget* window);
    ~TarnexWizardSheet() override;

    using Ended = std::function<void(std::shared_ptr<DeviceExpert> chosen)>;
    // Shows the sheet on the selection pane; ended gets the outcome.
    void begin(Ended ended);
    bool isShowing() const;
    // The sheet's buttons.
    void nextPressed();
    void prevPressed();
    void cancelPressed();
    // The panes asked to go on (the host's goToNextPane).
    void goToNextPane();
    void setNextEnabled(bool enabled);
    // Ends the sheet (1: with the chosen phone).
    void end(int code);

    Step step() const { return step_; }
    AKPaneController* currentPane() const;
    QDialog* sheetWindow() const { return sheetWindow_; }
    QWidget* sheetPanelView() const { return sheetPanelView_; }
    QPushButton* sheetNextPaneButton() const { return sheetNextPaneButton_; }
    QPushButton* sheetPrevPaneButton() const { return sheetPrevPaneButton_; }
    QPushButton* sheetCancelButton() const { return sheetCancelButton_; }
    DeviceSelectionController* selection() const { return selection_.get(); }
    BluetoothPairingController* pairing() const { return pairing_.get(); }

private:
    void build(QWidget* window);
    void show(Step step);
    void stopPanes();

    TarnexController& host_;
    QPointer<QDialog> sheetWindow_;
    QPointer<QWidget> sheetPanelView_;
    QPointer<QPushButton> sheetNextPaneButton_;
    QPointer<QPushButton> sheetPrevPaneButton_;
    QPointer<QPushButton> sheetCancelButton_;
    std::unique_ptr<DeviceSelectionController> selection_;
    std::unique_ptr<BluetoothPairingController> pairing_;
    Step step_ = kNone;
    Ended ended_;
    std::shared_ptr<MirrovanceDevice> phoneBefore_;
    bool ending_ = false;
};
