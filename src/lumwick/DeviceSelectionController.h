#pragma once

#include "lumwick/AKPaneController.h"
#include "lumwick/DeviceExpertPane.h"
#include "lumwick/SubviewTableViewController.h"

#include <QList>
#include <QPointer>
#include <QTableView>

#include <memory>

class DeviceExpert;

// The pane that lists every phone the wizard sees, one row per device
// expert: USB phones, then paired Bluetooth phones, then phones the inquiry
// finds. Next is offered only for a supported, checked, reachable phone;
// leaving the pane hands the chosen expert to the host. Keyboard: the table
// has the focus, the arrows move, Return goes on when Next is offered.
class DeviceSelectionController : public AKPaneController,
                                  public DeviceExpertPane,
                                  public SubviewTableViewControllerDataSourceProtocol,
                                  public SubviewTableViewRowHeights {
public:
    DeviceSelectionController();
    ~DeviceSelectionController() override;

    QString defaultNibName() const override { return QStringLiteral("DeviceSelectionPane"); }
    QString localizationKey() const override { return QStringLiteral("kSelectDevice"); }

    void prepareForDisplay() override;
    void startProcessing() override;
    void stopProcessing() override;

    bool isSelectionGood() const;
    std::shared_ptr<DeviceExpert> selectedDeviceExpert() const;
    std::shared_ptr<DeviceExpert> updateDeviceExpertWithSelection();
    bool canUseSelectedDevice();
    void validateButtons() override;
    bool enableWindowsMobile() const override { return m_doScanWindowsMobile; }
    void addInvalidExpert(std::shared_ptr<DeviceExpert> expert) override;

    const QList<std::shared_ptr<DeviceExpert>>& subviewControllers() const { return m_rows; }
    void addRow(const std::shared_ptr<DeviceExpert>& expert);
    void addRows(const QList<std::shared_ptr<DeviceExpert>>& experts);
    // Removes the selected rows.
    void removeRow();
    void toggleAnimation();
    void doSetScan(bool bluetooth, bool usb);
    void setEnableBluetooth(bool on) { m_doScanBluetooth = on; }
    void setEnableUSB(bool on) { m_doScanUSB = on; }
    void setEnableSerialUSB(bool on) { m_doScanSerialUSB = on; }
    void setEnableWindowsMobile(bool on) { m_doScanWindowsMobile = on; }

    int numberOfRows() override { return int(m_rows.size()); }
    QWidget* viewForRow(int row) override;
    bool shouldSelectRow(int row) const;
    void tableViewSelectionDidChange();
    // A double click (or Return) on the selected row.
    void doubleAction();
    // Selects the row (when it may be selected).
    void selectRow(int row);
    QTableView* subviewTableView() const { return m_table.data(); }
    bool selectionStopped() const { return m_selectionStopped; }

private:
    void ensureTable();
    void reload();
    int selectedRow() const;

    QPointer<QTableView> m_table;
    SubviewTableViewController* m_tableViewController = nullptr; // owned by the table
    QList<std::shared_ptr<DeviceExpert>> m_rows;
    bool m_doScanBluetooth = true;
    bool m_doScanUSB = true;
    bool m_doScanSerialUSB = true;
    bool m_doScanWindowsMobile = false;
    bool m_selectionStopped = false;
    std::unique_ptr<QObject> m_events;
};
