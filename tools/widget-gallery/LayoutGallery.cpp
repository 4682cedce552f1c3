#include "LayoutGallery.h"

#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "widgets/BetterSplitView.h"
#include "widgets/BetterSplitViewDelegate.h"
#include "widgets/DeviceCell.h"
#include "widgets/ImageAndTextCell.h"
#include "widgets/PhoneButtonCell.h"
#include "widgets/SelectToolViewList.h"

#include <QCheckBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>

using platform::gui::outlet;

namespace {

const QString kBundle = QLatin1String(platform::gui::kProgramBundle);

QImage picture(const char* name)
{
    return platform::gui::image(kBundle, QLatin1String(name));
}

// Keeps the tool list between 120 and 320 points and turns the phone cells'
// hover tracking on while the window is active.
class Controller : public QObject, public BetterSplitViewDelegate {
public:
    explicit Controller(QWidget* window) : QObject(window), window_(window) { window->installEventFilter(this); }
    std::optional<qreal> constrainMinCoordinate(BetterSplitView&, qreal, int) override { return 120; }
    std::optional<qreal> constrainMaxCoordinate(BetterSplitView&, qreal, int) override { return 320; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_ && (event->type() == QEvent::ActivationChange || event->type() == QEvent::Show)) {
            for (PhoneButtonCell* cell : window_->findChildren<PhoneButtonCell*>())
                cell->updateTrackingRectCell(window_->isActiveWindow() && cell->isVisible());
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* window_;
};

void fillDevices(QTableView* table)
{
    auto* model = new QStandardItemModel(0, 2, table);
    model->setHorizontalHeaderLabels({QObject::tr("Manufacturer"), QObject::tr("Phone")});
    const struct {
        const char* maker;
        const char* image;
        const char* phone;
        bool connected;
    } rows[] = {{"LG", "Sync", "KU990", true}, {"LG", "Add", "KG800", false}, {"Motorola", "Trash", "RAZR V3", false}};
    for (const auto& row : rows) {
        auto* maker = new QStandardItem(QString::fromLatin1(row.maker));
        const QImage icon = picture(row.image);
        maker->setData(
            icon.scaled(QSize(16, 16) * icon.devicePixelRatio(), Qt::KeepAspectRatio, Qt::SmoothTransformation),
            Qt::DecorationRole);
        auto* phone = new QStandardItem(QString::fromLatin1(row.phone));
        phone->setData(row.connected, DeviceCell::ConnectedRole);
        model->appendRow({maker, phone});
    }
    table->setModel(model);
    table->setItemDelegateForColumn(0, new ImageAndTextCell(table));
    table->setItemDelegateForColumn(1, new DeviceCell(table));
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(24);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setColumnWidth(0, 140);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
}

} // namespace

QWidget* openLayoutGallery(QWidget* parent)
{
    QWidget* window = platform::gui::loadInterface(kBundle, QStringLiteral("LayoutGallery"), parent);
    window->setWindowFlag(Qt::Window, true);
    auto* controller = new Controller(window);

    if (auto* split = outlet<BetterSplitView>(window, QStringLiteral("split"))) {
        split->setDelegate(controller);
        split->setSizes({180, 560});
    }
    if (auto* tools = outlet<SelectToolViewList>(window, QStringLiteral("tools"))) {
        tools->initSelectToolViewList({picture("Add"), QObject::tr("Contacts"), QStringLiteral("Contacts"),
                                       picture("Sync"), QObject::tr("Events"), QStringLiteral("Events"), QVariant(),
                                       QString(), QStringLiteral("Separator"), picture("Trash"), QObject::tr("Notes"),
                                       QStringLiteral("Notes"), QVariant(), QObject::tr("Sync manager"),
                                       QStringLiteral("SyncManager")});
        tools->selectIdentify(QStringLiteral("Contacts"));
        if (auto* pulse = outlet<QCheckBox>(window, QStringLiteral("pulseEvents")))
            QObject::connect(pulse, &QCheckBox::toggled, tools,
                             [tools](bool on) { tools->setAnimationItem(QStringLiteral("Events"), on); });
    }
    if (auto* devices = outlet<QTableView>(window, QStringLiteral("devices")))
        fillDevices(devices);
    return window;
}
