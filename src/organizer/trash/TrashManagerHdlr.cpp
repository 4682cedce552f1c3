#include "organizer/trash/TrashManagerHdlr.h"

#include "device/DeviceList.h"
#include "device/PhoneIconFromiSyncSearcher.h"
#include "organizer/OrganizerHost.h"
#include "organizer/trash/TrashKeys.h"
#include "organizer/trash/TrashManager.h"
#include "organizer/trash/TrashSheet.h"
#include "organizer/trash/TrashTableModel.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/gui/Animation.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "syncmodel/QVVCalendarElem.h"
#include "syncmodel/QVVCardElem.h"
#include "widgets/BetterSplitView.h"
#include "widgets/NSScaledImageButton.h"

#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QStackedWidget>
#include <QTableView>
#include <QTableWidget>

namespace {

TrashManagerHdlr* gSharedTrashHdlr = nullptr;
constexpr const char* kDeviceConnectionChanged = "NotifyMobileDeviceConnectionChanged";
constexpr int kRestoreTag = 1;

QString trashText(const char* key)
{
    return platform::localizedString(QLatin1String(key));
}

QImage phonePicture(const QVariantMap& entry, int side)
{
    QImage image;
    const QString path = getPhoneIconForModel(entry.value(QLatin1String(trashkeys::kSettingIdentifier)).toString());
    if (!path.isEmpty())
        image = QImage(path);
    if (image.isNull())
        image = platform::gui::image(QStringLiteral("program"), QStringLiteral("PhoneIcon"));
    return image.isNull() ? image : image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace

bool TrashManagerHdlr::openTrashManagerHdlr()
{
    if (!gSharedTrashHdlr)
        new TrashManagerHdlr(TrashManager::sharedTrashManager());
    gSharedTrashHdlr->doOpen();
    return isTrashManagerHdlrOpen();
}

TrashManagerHdlr* TrashManagerHdlr::sharedTrashManagerHdlr()
{
    return gSharedTrashHdlr;
}

bool TrashManagerHdlr::isTrashManagerHdlrOpen()
{
    return gSharedTrashHdlr && gSharedTrashHdlr->isOpen();
}

TrashManagerHdlr::TrashManagerHdlr(TrashManager& store, QObject* parent)
    : QObject(parent)
    , _store(store)
    , _fadeTimer([this] { fadeTick(); })
{
    if (!gSharedTrashHdlr)
        gSharedTrashHdlr = this;
    _window = platform::gui::loadInterface(QLatin1String(platform::gui::kProgramBundle),
                                           QStringLiteral("TrashManagerHdlr"));
    _window->setAttribute(Qt::WA_DeleteOnClose, false);
    _window->installEventFilter(this);
    _table = platform::gui::outlet<QTableView>(_window, QStringLiteral("itemsTable"));
    _countField = platform::gui::outlet<QLabel>(_window, QStringLiteral("countField"));
    _tabs = platform::gui::outlet<QStackedWidget>(_window, QStringLiteral("detailTabs"));
    _contactDetail = platform::gui::outlet<QTableWidget>(_window, QStringLiteral("contactDetailTable"));
    _eventDetail = platform::gui::outlet<QTableWidget>(_window, QStringLiteral("eventDetailTable"));
    _emptyButton = platform::gui::outlet<NSScaledImageButton>(_window, QStringLiteral("emptyTrashButton"));
    _restoreButton = platform::gui::outlet<NSScaledImageButton>(_window, QStringLiteral("restoreButton"));
    for (NSScaledImageButton* button : {_emptyButton, _restoreButton}) {
        if (button)
            button->setTarget(this);
    }
    if (auto* split = platform::gui::outlet<BetterSplitView>(_window, QStringLiteral("splitView"))) {
        split->setDelegate(this);
        split->setStretchFactor(0, 3);
        split->setStretchFactor(1, 2);
        split->setSizes({460, 280});
    }
    for (QTableWidget* detail : {_contactDetail, _eventDetail}) {
        if (!detail)
            continue;
        detail->setColumnCount(2);
        detail->setHorizontalHeaderLabels({tr("Field"), tr("Content")});
        detail->horizontalHeader()->setStretchLastSection(true);
        detail->verticalHeader()->hide();
        detail->setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
    _model = new TrashTableModel(_store, this);
    if (_table) {
        _table->setModel(_model);
        _table->setSelectionBehavior(QAbstractItemView::SelectRows);
        _table->setSelectionMode(QAbstractItemView::ExtendedSelection);
        _table->setSortingEnabled(true);
        _table->sortByColumn(TrashTableModel::Date, Qt::AscendingOrder);
        _table->setDragEnabled(true);
        _table->setDragDropMode(QAbstractItemView::DragOnly);
        _table->setDefaultDropAction(Qt::CopyAction);
        _table->setIconSize(QSize(TrashTableModel::kIconSide, TrashTableModel::kIconSide));
        _table->verticalHeader()->setDefaultSectionSize(TrashTableModel::kIconSide + 4);
        _table->verticalHeader()->hide();
        _table->horizontalHeader()->setStretchLastSection(true);
        _table->setColumnWidth(TrashTableModel::Title, 200);
        _table->setColumnWidth(TrashTableModel::Type, 48);
        _table->setColumnWidth(TrashTableModel::Date, 130);
        _table->installEventFilter(this);
        connect(_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
            const QList<TrashElemPtr> selected = selectedElems();
            displayItem(selected.isEmpty() ? nullptr : selected.first());
            validateButtons();
        });
    }
    auto& center = platform::NotificationCenter::defaultCenter();
    center.addObserver(this, QLatin1String(trashkeys::kTrashListHasChanged), nullptr,
                       [this](const platform::Notification&) { notifyTrashListHasChanged(); });
    center.addObserver(this, QLatin1String(kDeviceConnectionChanged), nullptr,
                       [this](const platform::Notification&) { validateButtons(); });
    notifyTrashListHasChanged();
}

TrashManagerHdlr::~TrashManagerHdlr()
{
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    if (gSharedTrashHdlr == this)
        gSharedTrashHdlr = nullptr;
    delete _window.data();
}

QComboBox* TrashManagerHdlr::phonePopup() const
{
    return _restoreSheet ? _restoreSheet->popup() : nullptr;
}

bool TrashManagerHdlr::isOpen() const
{
    return _window && _window->isVisible();
}

void TrashManagerHdlr::doOpen()
{
    if (!_window)
        return;
    if (!_window->isVisible() || (_fadeTimer.isActive() && !_fadingIn)) {
        if (!_window->isVisible())
            _window->setWindowOpacity(0.0);
        _window->show();
        _window->raise();
        _window->activateWindow();
        _fadingIn = true;
        ++_fadeIns;
        _fadeTimer.start(kFadeStep, true);
    } else {
        _window->raise();
        _window->activateWindow();
    }
    notifyTrashListHasChanged();
}

void TrashManagerHdlr::fadeOut()
{
    if (!_window || !_window->isVisible())
        return;
    _fadingIn = false;
    _fadeTimer.start(kFadeStep, true);
}

void TrashManagerHdlr::fadeTick()
{
    if (!_window) {
        _fadeTimer.stop();
        return;
    }
    const qreal alpha = _window->windowOpacity();
    if (_fadingIn) {
        if (alpha + kFadeInPerStep >= 1.0) {
            _window->setWindowOpacity(1.0);
            _fadeTimer.stop();
        } else {
            _window->setWindowOpacity(alpha + kFadeInPerStep);
        }
    } else if (alpha > 0.0) {
        _window->setWindowOpacity(std::max(0.0, alpha - kFadeOutPerStep));
    } else {
        _fadeTimer.stop();
        _window->hide();
    }
}

QList<TrashElemPtr> TrashManagerHdlr::selectedElems() const
{
    QList<TrashElemPtr> elems;
    if (!_table || !_table->selectionModel())
        return elems;
    QModelIndexList rows = _table->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& row : rows) {
        if (TrashElemPtr elem = _model->elemAt(row.row()))
            elems.append(elem);
    }
    return elems;
}

bool TrashManagerHdlr::doesRestoreDeviceExist() const
{
    OrganizerHost* host = OrganizerHost::shared();
    if (!host || !host->currentPhoneEntry())
        return false;
    DeviceList& list = DeviceList::sharedDeviceList();
    for (int index = 0; index < list.count(); ++index) {
        const DeviceList::Entry entry = list.deviceEntry(index);
        if (entry && !entry->value(QLatin1String(trashkeys::kSettingDeviceName)).toString().isEmpty())
            return true;
    }
    return false;
}

void TrashManagerHdlr::notifyTrashListHasChanged()
{
    _model->reload();
    const int count = _store.count();
    if (_countField) {
        _countField->setText(
            count == 1 ? trashText(trashkeys::kTrashOneObject)
                       : trashText(trashkeys::kTrashManyObjects).replace(QStringLiteral("%d"), QString::number(count)));
    }
    if (count == 0)
        showTab(QStringLiteral("Empty"));
    else if (selectedElems().isEmpty())
        displayItem(nullptr);
    validateButtons();
}

void TrashManagerHdlr::validateButtons()
{
    ValidateScaledImageButtons(this);
}

bool TrashManagerHdlr::validateScaledImageButton(NSScaledImageButton& button)
{
    if (&button == _emptyButton)
        return _store.count() > 0;
    if (&button == _restoreButton)
        return !selectedElems().isEmpty() && doesRestoreDeviceExist();
    return false;
}

std::optional<qreal> TrashManagerHdlr::constrainMinCoordinate(BetterSplitView&, qreal, int)
{
    return kMinSplit;
}

std::optional<qreal> TrashManagerHdlr::constrainMaxCoordinate(BetterSplitView& view, qreal proposed, int index)
{
    if (index > 1)
        return proposed;
    return view.width() * kMaxSplitFraction;
}

void TrashManagerHdlr::showTab(const QString& name)
{
    if (!_tabs)
        return;
    if (QWidget* page = _tabs->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly))
        _tabs->setCurrentWidget(page);
}

void TrashManagerHdlr::fillDetailTable(QTableWidget* table, const QStringList& fields, const QStringList& contents)
{
    if (!table)
        return;
    table->setRowCount(int(fields.size()));
    for (int row = 0; row < fields.size(); ++row) {
        table->setItem(row, 0, new QTableWidgetItem(fields.at(row)));
        table->setItem(row, 1, new QTableWidgetItem(contents.value(row)));
    }
    table->resizeColumnToContents(0);
}

void TrashManagerHdlr::displayItem(const TrashElemPtr& elem)
{
    _fieldArray.clear();
    _contentArray.clear();
    const int type = elem ? elem->getType() : -1;
    auto* contact = elem && type == 0 ? dynamic_cast<QVVCardElem*>(elem->syncElem().get()) : nullptr;
    auto* event = elem && type == 1 ? dynamic_cast<QVVCalendarElem*>(elem->syncElem().get()) : nullptr;
    if (contact) {
        showTab(QStringLiteral("Contacts"));
        if (const auto details = elem->getFieldsAndContents()) {
            _fieldArray = details->fields;
            _contentArray = details->contents;
        }
        QString name = contact->fullNameLastFirst().trimmed();
        const QString company = contact->company();
        if (!company.isEmpty() && !name.contains(company))
            name += QLatin1Char('\r') + company;
        if (auto* label = _window->findChild<QLabel*>(QStringLiteral("contactName")))
            label->setText(QString(name).replace(QLatin1Char('\r'), QLatin1Char('\n')));
        if (auto* label = _window->findChild<QLabel*>(QStringLiteral("contactImage"))) {
            QImage picture = contact->imageWithSize(QSize(kDetailImageSide, kDetailImageSide));
            if (picture.isNull())
                picture = platform::gui::image(QStringLiteral("program"), QLatin1String(trashkeys::kImageEmptyPict))
                              .scaled(kDetailImageSide, kDetailImageSide, Qt::KeepAspectRatio,
                                      Qt::SmoothTransformation);
            label->setPixmap(QPixmap::fromImage(picture));
        }
        if (auto* label = _window->findChild<QLabel*>(QStringLiteral("contactTitle")))
            label->setText(contact->getJobTitle());
        if (auto* label = _window->findChild<QLabel*>(QStringLiteral("contactDepartment")))
            label->setText(contact->getDepartment());
        fillDetailTable(_contactDetail, _fieldArray, _contentArray);
    } else if (event) {
        showTab(QStringLiteral("Events"));
        if (const auto details = elem->getFieldsAndContents()) {
            _fieldArray = details->fields;
            _contentArray = details->contents;
        }
        const QString description = event->descriptionString();
        if (auto* label = _window->findChild<QLabel*>(QStringLiteral("eventDescription")))
            label->setText(description.isEmpty() ? QStringLiteral("--") : description);
        const QString date = event->isToDo() ? event->dueString()
            : event->isEventAllday()         ? event->dateString()
                                             : event->fromToString();
        if (auto* label = _window->findChild<QLabel*>(QStringLiteral("eventDate")))
            label->setText(date);
        if (auto* label = _window->findChild<QLabel*>(QStringLiteral("eventLocation")))
            label->setText(event->locationString());
        fillDetailTable(_eventDetail, _fieldArray, _contentArray);
    } else {
        showTab(QStringLiteral("Empty"));
    }
}

void TrashManagerHdlr::emptyTrash()
{
    platform::gui::beep();
    if (_alert || _restoreSheet)
        return;
    _alert = new TrashSheet(_window, trashText(trashkeys::kTrashEmptyTitle),
                            trashText(trashkeys::kTrashOrganizerEmptyMsg), trashText(trashkeys::kDelete),
                            trashText(trashkeys::kCancel), false, [this](int code) {
                                _alert.clear();
                                if (code == 1)
                                    _store.emptyTrash();
                            });
    _alert->setObjectName(QStringLiteral("emptyTrashSheet"));
}

void TrashManagerHdlr::askToDeleteSelected()
{
    const QList<TrashElemPtr> selected = selectedElems();
    if (selected.isEmpty() || _alert || _restoreSheet)
        return;
    platform::gui::beep();
    _alert = new TrashSheet(_window, trashText(trashkeys::kTrashDeleteSelectedTitle),
                            trashText(trashkeys::kTrashDeleteSelectedMsg), trashText(trashkeys::kDelete),
                            trashText(trashkeys::kCancel), false, [this, selected](int code) {
                                _alert.clear();
                                if (code == 1)
                                    _store.deleteElemsFromList(selected);
                            });
    _alert->setObjectName(QStringLiteral("deleteSelectedSheet"));
}

void TrashManagerHdlr::restoreItems()
{
    platform::gui::beep();
    if (_alert || _restoreSheet)
        return;
    _restoring = selectedElems();
    if (_restoring.isEmpty())
        return;
    _restoreSheet = new TrashSheet(_window, trashText(trashkeys::kTrashRestoreTitle),
                                   trashText(trashkeys::kTrashRestoreMsg), trashText(trashkeys::kRestore),
                                   trashText(trashkeys::kCancel), true, [this](int code) { endAskForRestore(code); });
    _restoreSheet->setObjectName(QStringLiteral("restoreSheet"));
    QComboBox* popup = _restoreSheet->popup();
    popup->setIconSize(QSize(kPopupIconSide, kPopupIconSide));
    OrganizerHost* host = OrganizerHost::shared();
    const auto current = host ? host->currentPhoneEntry() : std::nullopt;
    const QString serial = current ? current->value(QLatin1String(trashkeys::kSettingSerialNo)).toString() : QString();
    DeviceList& list = DeviceList::sharedDeviceList();
    for (int index = 0; index < list.count(); ++index) {
        const DeviceList::Entry entry = list.deviceEntry(index);
        if (!entry)
            continue;
        const QString name = entry->value(QLatin1String(trashkeys::kSettingDeviceName)).toString();
        const QString entrySerial = entry->value(QLatin1String(trashkeys::kSettingSerialNo)).toString();
        if (name.isEmpty() || serial.isEmpty() || entrySerial != serial)
            continue;
        popup->addItem(QPixmap::fromImage(phonePicture(*entry, kPopupIconSide)), name, entrySerial);
        popup->setCurrentIndex(popup->count() - 1);
    }
}

void TrashManagerHdlr::endAskForRestore(int tag)
{
    const QList<TrashElemPtr> elems = std::move(_restoring);
    _restoring.clear();
    if (TrashSheet* sheet = _restoreSheet) {
        _restoreSheet.clear();
        sheet->end(tag); // ends here when the call did not come from the sheet
    }
    if (tag != kRestoreTag || elems.isEmpty())
        return;
    OrganizerHost* host = OrganizerHost::shared();
    QList<TrashedItem*> items;
    for (const TrashElemPtr& elem : elems)
        items.append(elem.get());
    if (!host || !host->restoreToCurrentPhone(items)) {
        platform::gui::beep();
        return;
    }
    _store.deleteElemsFromList(elems);
}

bool TrashManagerHdlr::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == _window) {
        if (event->type() == QEvent::Close) {
            event->ignore();
            fadeOut();
            return true;
        }
        if (event->type() == QEvent::WindowActivate)
            validateButtons();
    }
    if (event->type() == QEvent::KeyPress && (watched == _window || watched == _table)) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
            askToDeleteSelected();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (_restoreButton && _restoreButton->isEnabled())
                restoreItems();
            else
                platform::gui::beep();
            return true;
        case Qt::Key_Escape:
            fadeOut();
            return true;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
