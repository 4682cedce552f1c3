#include "lumwick/DeviceSelectionController.h"

#include "lumwick/BluetoothDeviceExpert.h"
#include "lumwick/BluetoothExpertScheduler.h"
#include "lumwick/LumwickLog.h"
#include "lumwick/QVUSBExpert.h"

#include <QEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace {

// Refuses to select rows whose expert is not ready.
class ReadyRowsSelection : public QItemSelectionModel {
public:
    ReadyRowsSelection(QAbstractItemModel* model, const DeviceSelectionController* pane)
        : QItemSelectionModel(model)
        , m_pane(pane)
    {
    }
    void select(const QModelIndex& index, SelectionFlags command) override
    {
        if (index.isValid() && (command & Select) && !m_pane->shouldSelectRow(index.row()))
            return;
        QItemSelectionModel::select(index, command);
    }
    void select(const QItemSelection& selection, SelectionFlags command) override
    {
        if (command & Select) {
            for (const QModelIndex& index : selection.indexes()) {
                if (!m_pane->shouldSelectRow(index.row()))
                    return;
            }
        }
        QItemSelectionModel::select(selection, command);
    }

private:
    const DeviceSelectionController* m_pane;
};

// Return and Enter on the table act as a double click.
class ReturnKey : public QObject {
public:
    explicit ReturnKey(DeviceSelectionController* pane) : m_pane(pane) { }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_pane->doubleAction();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    DeviceSelectionController* m_pane;
};

QWidget* rowOf(const DeviceExpert& expert)
{
    if (auto* usb = dynamic_cast<const QVUSBExpert*>(&expert))
        return usb->view();
    if (auto* bluetooth = dynamic_cast<const BluetoothDeviceExpert*>(&expert))
        return bluetooth->view();
    return nullptr;
}

} // namespace

DeviceSelectionController::DeviceSelectionController() = default;

DeviceSelectionController::~DeviceSelectionController()
{
    BluetoothExpertScheduler& scheduler = BluetoothExpertScheduler::sharedScheduler();
    if (scheduler.deviceSelectionController() == this) {
        scheduler.stopOperation();
        scheduler.setDeviceSelectionController(nullptr);
        scheduler.setMainController(nullptr);
        // The experts know this pane as their controller: they go with it.
        scheduler.releaseExperts();
    }
    for (const auto& expert : std::as_const(m_rows)) {
        if (auto* usb = dynamic_cast<QVUSBExpert*>(expert.get()))
            usb->stopRecognition();
    }
}

void DeviceSelectionController::ensureTable()
{
    if (m_table || !wizardPaneView())
        return;
    m_table = paneOutlet<QTableView>(QStringLiteral("subviewTableView"));
    if (!m_table)
        return;
    m_tableViewController = new DynHeightSubviewTableViewController(m_table);
    m_tableViewController->setDelegate(this);
    m_table->setSelectionModel(new ReadyRowsSelection(m_table->model(), this));
    QObject::connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, m_table,
                     [this] { tableViewSelectionDidChange(); });
    QObject::connect(m_table, &QAbstractItemView::doubleClicked, m_table, [this] { doubleAction(); });
    m_events = std::make_unique<ReturnKey>(this);
    m_table->installEventFilter(m_events.get());
}

void DeviceSelectionController::prepareForDisplay()
{
    ensureTable();
    setPreviousButtonEnabled(true);
    setNextButtonEnabled(false);
}

void DeviceSelectionController::startProcessing()
{
    ensureTable();
    m_selectionStopped = false;
    m_rows.clear();
    reload();
    if (m_doScanUSB || m_doScanSerialUSB) {
        const QList<std::shared_ptr<QVUSBExpert>> usb = QVUSBExpert::getDevices(m_table, this, m_doScanUSB,
                                                                                m_doScanSerialUSB);
        addRows(QList<std::shared_ptr<DeviceExpert>>(usb.begin(), usb.end()));
        for (const auto& expert : usb)
            expert->startRecognition();
    }
    if (m_doScanBluetooth) {
        BluetoothExpertScheduler& scheduler = BluetoothExpertScheduler::sharedScheduler();
        scheduler.reinit();
        scheduler.setMainController(mainController());
        scheduler.setDoSupportWindowsMobile(m_doScanWindowsMobile);
        scheduler.setDeviceSelectionController(this);
        const auto paired = scheduler.findPairedDevicesAndCreateDeviceExperts();
        addRows(QList<std::shared_ptr<DeviceExpert>>(paired.begin(), paired.end()));
        scheduler.startRecognition();
    }
    if (m_table)
        m_table->setFocus();
}

void DeviceSelectionController::stopProcessing()
{
    updateDeviceExpertWithSelection();
    m_selectionStopped = true;
    BluetoothExpertScheduler::sharedScheduler().stopOperation();
    for (const auto& expert : std::as_const(m_rows)) {
        if (auto* usb = dynamic_cast<QVUSBExpert*>(expert.get()))
            usb->stopRecognition();
    }
    m_rows.clear();
    reload();
}

int DeviceSelectionController::selectedRow() const
{
    if (!m_table || !m_table->selectionModel())
        return -1;
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    return rows.size() == 1 ? rows.first().row() : -1;
}

bool DeviceSelectionController::isSelectionGood() const
{
    const int row = selectedRow();
    return row >= 0 && row < m_rows.size();
}

std::shared_ptr<DeviceExpert> DeviceSelectionController::selectedDeviceExpert() const
{
    return isSelectionGood() ? m_rows.at(selectedRow()) : nullptr;
}

std::shared_ptr<DeviceExpert> DeviceSelectionController::updateDeviceExpertWithSelection()
{
    std::shared_ptr<DeviceExpert> expert = selectedDeviceExpert();
    if (!m_selectionStopped && mainController())
        mainController()->setDeviceExpert(expert);
    return expert;
}

bool DeviceSelectionController::canUseSelectedDevice()
{
    if (!isSelectionGood())
        return false;
    std::shared_ptr<DeviceExpert> expert = updateDeviceExpertWithSelection();
    if (!expert->isSupportedDevice())
        return false;
    if (!expert->expertFinished()) {
        lumwick::lumwickLog(QStringLiteral("expert didn't finish: %1").arg(expert->description()));
        return false;
    }
    return expert->isReachable();
}

void DeviceSelectionController::validateButtons()
{
    const bool usable = canUseSelectedDevice();
    if (auto* host = dynamic_cast<QVWizardNextPaneSwitch*>(mainController()))
        host->enableChangeToNextPane(usable);
    else
        setNextButtonEnabled(usable);
}

void DeviceSelectionController::addInvalidExpert(std::shared_ptr<DeviceExpert> expert)
{
    BluetoothExpertScheduler::sharedScheduler().addInvalidExpert(std::move(expert));
}

void DeviceSelectionController::addRow(const std::shared_ptr<DeviceExpert>& expert)
{
    if (!expert)
        return;
    m_rows.append(expert);
    reload();
}

void DeviceSelectionController::addRows(const QList<std::shared_ptr<DeviceExpert>>& experts)
{
    for (const auto& expert : experts) {
        if (expert)
            m_rows.append(expert);
    }
    reload();
}

void DeviceSelectionController::removeRow()
{
    if (!m_table || !m_table->selectionModel())
        return;
    QList<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : std::as_const(rows)) {
        if (row < m_rows.size())
            m_rows.removeAt(row);
    }
    reload();
    validateButtons();
}

void DeviceSelectionController::toggleAnimation()
{
    if (!m_table || !m_table->selectionModel())
        return;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
        if (index.row() >= m_rows.size())
            continue;
        DeviceExpert* expert = m_rows.at(index.row()).get();
        if (auto* usb = dynamic_cast<QVUSBExpert*>(expert))
            usb->toggleAnimation();
        else if (auto* bluetooth = dynamic_cast<BluetoothDeviceExpert*>(expert))
            bluetooth->toggleAnimation();
    }
}

void DeviceSelectionController::doSetScan(bool bluetooth, bool usb)
{
    m_doScanBluetooth = bluetooth;
    m_doScanUSB = usb;
    m_doScanSerialUSB = usb;
}

void DeviceSelectionController::reload()
{
    if (!m_tableViewController)
        return;
    // The table drops its row holders on a reload; the experts keep their
    // rows, so take them out first.
    const std::shared_ptr<DeviceExpert> selected = selectedDeviceExpert();
    for (QWidget* holder : m_table->viewport()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        for (QWidget* row : holder->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            row->hide();
            row->setParent(nullptr);
        }
    }
    m_tableViewController->reloadTableView();
    if (selected && m_rows.contains(selected))
        selectRow(int(m_rows.indexOf(selected)));
}

QWidget* DeviceSelectionController::viewForRow(int row)
{
    if (row < 0 || row >= m_rows.size())
        return nullptr;
    QWidget* view = rowOf(*m_rows.at(row));
    auto* holder = new QWidget;
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    if (view) {
        layout->addWidget(view);
        view->show();
        holder->resize(holder->width(), std::max(view->minimumHeight(), view->sizeHint().height()));
    }
    holder->setAttribute(Qt::WA_TransparentForMouseEvents);
    if (view)
        view->setAttribute(Qt::WA_TransparentForMouseEvents);
    return holder;
}

bool DeviceSelectionController::shouldSelectRow(int row) const
{
    return row >= 0 && row < m_rows.size() && m_rows.at(row)->isReady();
}

void DeviceSelectionController::tableViewSelectionDidChange()
{
    validateButtons();
}

void DeviceSelectionController::doubleAction()
{
    if (canUseSelectedDevice() && mainController())
        mainController()->goToNextPane();
}

void DeviceSelectionController::selectRow(int row)
{
    if (m_table && shouldSelectRow(row))
        m_table->selectRow(row);
}
