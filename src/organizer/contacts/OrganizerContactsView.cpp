#include "organizer/contacts/OrganizerContactsView.h"

#include "organizer/OrganizerLog.h"
#include "organizer/contacts/ContactStore.h"
#include "organizer/contacts/ContactTableView.h"
#include "organizer/contacts/ContactsButtonCell.h"
#include "organizer/contacts/DialingDialog.h"
#include "organizer/tables/OrganizerViewProtocol.h"

#include "device/MFDeviceInfo.h"
#include "devicewindow/DeviceWindowController.h"
#include "formats/VCardFileImport.h"
#include "foundation/FormattingUtil.h"
#include "foundation/LaunchApplication.h"
#include "foundation/NamedLog.h"
#include "foundation/QuickLog.h"
#include "foundation/SafeFileName.h"
#include "jobs/QVAction.h"
#include "phone/DZDataManager.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "platform/Exception.h"
#include "platform/FileIO.h"
#include "platform/Localization.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "platform/gui/Animation.h"
#include "platform/gui/Images.h"
#include "sync/SyncEngineHandler.h"
#include "syncmodel/QVVCardElem.h"
#include "widgets/AppLaunchButton.h"
#include "widgets/FooterToolBarView.h"
#include "widgets/NSScaledImageButton.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSet>
#include <QStandardItemModel>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString kViewItemsAdded = QStringLiteral("items_added");
const QString kViewUndoImport = QStringLiteral("undoImport");
const QString kViewUndoCut = QStringLiteral("undoCut");
const QString kViewContactsInList = QStringLiteral("contacts_in_list");
const QString kViewLastFirstTitle = QStringLiteral("Last name, first");
const QString kViewFirstLastTitle = QStringLiteral("First last name");
const QString kViewVCardsFrom = QStringLiteral("VCards from %@");
const QString kViewExportedVCards = QStringLiteral("Exported VCards");
const QString kViewNoContactsInFile = QStringLiteral("The file holds no contacts.");
const QString kViewBrokenEntries = QStringLiteral("broken_entries_skipped");
const QString kViewDialNumber = QStringLiteral("DialNumber");
const QString kViewSendSMS = QStringLiteral("SendSMS");
const QString kViewSendEMail = QStringLiteral("SendEMail");
const QString kViewNumberKey = QStringLiteral("Number");
const QString kViewMailTo = QStringLiteral("mailto:%1");
const QString kViewBundle = QStringLiteral("program");

QString viewText(const QString& key)
{
    return platform::localizedString(key);
}

QVVCardElem* viewContactOf(const std::shared_ptr<QVSyncElem>& elem)
{
    return dynamic_cast<QVVCardElem*>(elem.get());
}

// The number of vCards in a file's text by its BEGIN lines: the entries a
// reader should have given.
int viewCardsBegun(const QString& path)
{
    const auto bytes = platform::readRegularFile(path, kMaxImportFileSize, platform::Symlinks::Follow);
    return bytes ? int(bytes->toUpper().count("BEGIN:VCARD")) : 0;
}

// The item table of the pane: a history phone's contacts leave it only as
// copies, so no drag of them can delete.
class ContactsViewItemTable : public QVElemTableView {
public:
    using QVElemTableView::QVElemTableView;
    void setCopyOnly(bool copyOnly) { copyOnly_ = copyOnly; }
    Qt::DropActions draggingSourceOperationMask() const override
    {
        return copyOnly_ ? Qt::CopyAction : QVElemTableView::draggingSourceOperationMask();
    }

private:
    bool copyOnly_ = false;
};

} // namespace

OrganizerContactsView::OrganizerContactsView(QWidget* parent) : OrganizerSyncTableView(parent)
{
    setObjectName(QStringLiteral("OrganizerContactsView"));
    smsTimer_.setCallback([this] {
        if (OrganizerViewProtocol* organizer = organizerView())
            organizer->smsHandleSMS(pendingSMS_);
    });
    buildInterface();
}

OrganizerContactsView::~OrganizerContactsView()
{
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    // The base classes hide the window while they go; the detail table then
    // reaches its cells again and must no longer call into this part.
    contactAddItemsView_->setCellConfigurer({});
    contactAddItemsView_->setRowSelectable({});
}

void OrganizerContactsView::setContactStore(ContactStore* store)
{
    contactStore_ = store;
    if (dialingDialog_)
        dialingDialog_->setContactStore(store);
}

// ---- The interface

void OrganizerContactsView::buildInterface()
{
    auto* items = new ContactsViewItemTable(this);
    items->setObjectName(QStringLiteral("itemsView"));
    items->setTableColumns({{kTitleColumn, QString(), 260, 60}, {kPhoneColumn, QString(), 110, 40}});
    items->setAccessibleName(QStringLiteral("Contacts"));
    setItemsView(items);
    auto* search = new QLineEdit(this);
    search->setObjectName(QStringLiteral("searchField"));
    search->setPlaceholderText(viewText(QStringLiteral("Search")));
    search->setClearButtonEnabled(true);
    search->setAccessibleName(QStringLiteral("Search contacts"));
    setSearchField(search);
    connect(search, &QLineEdit::textChanged, this, [this] { searchContentChanged(); });

    contactImageView_ = new QLabel(this);
    contactImageView_->setObjectName(QStringLiteral("contactImageView"));
    contactImageView_->setFixedSize(kCardPhotoSize, kCardPhotoSize);
    contactNameView_ = new QLabel(this);
    contactNameView_->setObjectName(QStringLiteral("contactNameView"));
    contactNameView_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont nameFont = contactNameView_->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.3);
    contactNameView_->setFont(nameFont);
    contactTitleView_ = new QLabel(this);
    contactTitleView_->setObjectName(QStringLiteral("contactTitleView"));
    contactDepartmentView_ = new QLabel(this);
    contactDepartmentView_->setObjectName(QStringLiteral("contactDepartmentView"));
    contactAddItemsView_ = new ContactTableView(this);
    contactAddItemsView_->setObjectName(QStringLiteral("contactAddItemsView"));
    detailModel_ = new QStandardItemModel(0, 3, contactAddItemsView_);
    contactAddItemsView_->setModel(detailModel_);
    contactAddItemsView_->setColumnHidden(ContactTableView::kEntryTypeColumn, true);
    contactAddItemsView_->setCellConfigurer([this](ContactsButtonCell* cell, int row) { configureValueCell(cell, row); });
    contactAddItemsView_->setRowSelectable([this](int row) { return isDetailRowSelectable(row); });
    rightFooterView_ = new FooterToolBarView(this);
    rightFooterView_->setObjectName(QStringLiteral("rightFooterView"));
    appButton_ = new AppLaunchButton(rightFooterView_);
    appButton_->setObjectName(QStringLiteral("appButton"));
    appButton_->setAccessibleName(QStringLiteral("Open the address book"));
    connect(appButton_, &QPushButton::clicked, this, [this] { openAddressBook(); });

    sendContext_ = new QMenu(this);
    sendContext_->setObjectName(QStringLiteral("sendContext"));
    sendContext_->addAction(viewText(kViewDialNumber))->setObjectName(QStringLiteral("dialNumber"));
    sendContext_->addAction(viewText(kViewSendSMS))->setObjectName(QStringLiteral("sendSMS"));
    sendContext_->addAction(viewText(kViewSendEMail))->setObjectName(QStringLiteral("sendEMail"));
    for (QAction* action : sendContext_->actions()) {
        connect(action, &QAction::triggered, this, [this, action] {
            ContactsButtonCell* cell = ContactsButtonCell::representedCell(action);
            if (!validateSendAction(action)) {
                platform::gui::beep();
                return;
            }
            const QString name = action->objectName();
            if (name == QStringLiteral("dialNumber"))
                dialNumber(cell);
            else if (name == QStringLiteral("sendSMS"))
                sendSMS(cell);
            else if (name == QStringLiteral("sendEMail"))
                sendEMail(cell);
        });
    }
    dialingDialog_ = new DialingDialog(this);
    dialingDialog_->setObjectName(QStringLiteral("dialingDialog"));

    auto* left = new QVBoxLayout;
    left->addWidget(search);
    left->addWidget(items, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(updateButton());
    buttons->addWidget(refreshButton());
    buttons->addStretch(1);
    left->addLayout(buttons);
    auto* head = new QHBoxLayout;
    head->addWidget(contactImageView_, 0, Qt::AlignTop);
    auto* names = new QVBoxLayout;
    names->addWidget(contactNameView_);
    names->addWidget(contactTitleView_);
    names->addWidget(contactDepartmentView_);
    names->addStretch(1);
    head->addLayout(names, 1);
    auto* right = new QVBoxLayout;
    right->addLayout(head);
    right->addWidget(contactAddItemsView_, 1);
    auto* footer = new QHBoxLayout(rightFooterView_);
    footer->setContentsMargins(4, 2, 4, 2);
    footer->addStretch(1);
    footer->addWidget(appButton_);
    right->addWidget(rightFooterView_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 2);
    layout->addLayout(right, 3);
    installShortcuts();
}

void OrganizerContactsView::installShortcuts()
{
    auto shortcut = [this](const QKeySequence& keys, auto handler) {
        auto* action = new QAction(this);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);
        return action;
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_F), [this] {
        if (QLineEdit* field = searchField()) {
            field->setFocus(Qt::ShortcutFocusReason);
            field->selectAll();
        }
    });
    shortcut(QKeySequence(Qt::Key_Escape), [this] {
        if (searchField() && !searchField()->text().isEmpty()) {
            removeSearchData();
            reloadData();
        }
        if (itemsView())
            itemsView()->setFocus(Qt::ShortcutFocusReason);
    });
    // Undo, redo, copy and cut are the item table's own keys; the paste
    // here also takes vCards offered as plain text and beeps at other text.
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_V), [this] { pasteFromClipboard(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_U), [this] {
        if (!isHistoryDevice() && updateButton() && validateScaledImageButton(*updateButton()))
            update(nullptr);
        else
            platform::gui::beep();
    });
}

// ---- Life

void OrganizerContactsView::awakeFromNib()
{
    setSyncProperty(kContactsProperty);
    OrganizerSyncTableView::awakeFromNib();
    cardImage_ = QImage();
    nodeImage_ = QImage();
    emptyImage_ = QImage();
    setSyncElemsList(nullptr);
    fieldArray_.clear();
    contentArray_.clear();
    typesArray_.clear();
    curUUID_.clear();
    displayedPhoneNumbers_.clear();
    alternativeNames_ =
        platform::UserDefaults::standard().boolValue(defaultsName() + kAlternativeNamesSuffix);
    updateColumTitle();
    itemsView()->setPBTypes({contactsviewtransfer::kVCardMime, contactsviewtransfer::kPeopleDictMime}, true);
}

void OrganizerContactsView::setup(DeviceWindowController* controller, MFDevice* device, OrganizerViewProtocol* organizer)
{
    OrganizerSyncTableView::setup(controller, device, organizer);
    if (!device)
        QuickLogToNamedLog(qvlog::kXT, QStringLiteral("##### [%1 setup] mfDevice == nil! ###"), defaultsName());
    rightFooterView_->setFillColor(Qt::white);
    rightFooterView_->setDrawFrame(false);
    nodeImage_ = platform::gui::image(kViewBundle, QStringLiteral("vcf"))
                     .scaled(kRowPhotoSize, kRowPhotoSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    emptyImage_ = platform::gui::image(kViewBundle, kEmptyPictName);
    if (!fetchSyncElemsList())
        platform::gui::beep();
    QVElemTableView* items = itemsView();
    if (auto* table = dynamic_cast<ContactsViewItemTable*>(items))
        table->setCopyOnly(isHistoryDevice());
    if (isHistoryDevice()) {
        items->setAcceptDrops(false);
        items->setDragEnabled(true);
        updateButton()->hide();
        refreshButton()->hide();
    } else {
        items->setAcceptDrops(true);
        items->setDragEnabled(true);
        items->setDropIndicatorShown(false);
    }
    showContact(-1);
    updateHeaderAndContent();
}

void OrganizerContactsView::activate()
{
    OrganizerSyncTableView::activate();
    fetchSyncElemsList();
    itemsView()->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (!observing_ && getMFDevice()) {
        invalidatedToken_ = platform::NotificationCenter::defaultCenter().addObserver(
            this, kContactInvalidated, getMFDevice(),
            [this](const platform::Notification& notification) { notifyItemChanged(notification); });
        observing_ = true;
    }
}

void OrganizerContactsView::windowWillClose(QWidget* closing)
{
    OrganizerSyncTableView::windowWillClose(closing);
    if (closing && closing == window())
        platform::UserDefaults::standard().setObject(defaultsName() + kAlternativeNamesSuffix, alternativeNames_);
}

void OrganizerContactsView::reloadData()
{
    itemsView()->deselectAllRows();
    itemsView()->reloadData();
    updateBottomLine();
}

void OrganizerContactsView::updateBottomLine()
{
    OrganizerViewProtocol* organizer = organizerView();
    if (organizer && organizer->isActiveView(this))
        updateBottomLineWithTextItem(kViewContactsInList);
}

void OrganizerContactsView::notifyItemChanged(const platform::Notification& notification)
{
    QVSyncElemList* list = syncElemsList();
    const QString uuid = notification.userInfo.value(QStringLiteral("UUID")).toString();
    if (uuid == QStringLiteral("ALL")) {
        // The reload clears the selection and with it the card.
        const QString shownUUID = curUUID_;
        updateContent();
        list = syncElemsList();
        const Elem shown = list && !shownUUID.isEmpty() ? list->objectForUUID(shownUUID) : nullptr;
        showContact(shown ? list->indexOfObject_cs(shown) : -1);
    } else if (!curUUID_.isEmpty()) {
        const Elem shown = list ? list->objectForUUID(curUUID_) : nullptr;
        const int row = shown ? list->indexOfObject_cs(shown) : -1;
        if (row >= 0) {
            if (curUUID_ == uuid)
                showContact(row);
        } else {
            itemsView()->deselectAllRows();
            showContact(-1);
            updateContent();
        }
    }
    itemsView()->viewport()->update();
}

// ---- Contacts in

bool OrganizerContactsView::hasValidContent(const QStringList& fileNames)
{
    for (const QString& file : fileNames)
        if (hasValidVCardFromFile(file))
            return true;
    return false;
}

void OrganizerContactsView::importFiles(const QStringList& paths)
{
    QVSyncElemList* list = fetchSyncElemsList();
    if (!hasValidContent(paths) || !list) {
        platform::gui::beep();
        QStringList names;
        for (const QString& path : paths)
            names << QFileInfo(path).fileName();
        displayErrorText(1, viewText(kViewNoContactsInFile), names.join(QStringLiteral(", ")));
        return;
    }
    removeSearchData();
    itemsView()->registerUndoState(getCurrentState(), viewText(kViewUndoImport));
    QVariantList texts;
    int begun = 0;
    for (const QString& path : paths) {
        const std::optional<QStringList> cards = importVCardsFromFile(path);
        if (!cards)
            continue;
        begun += viewCardsBegun(path);
        for (const QString& card : *cards)
            texts << card;
    }
    const int before = list->count();
    if (OrganizerArchive* archive = dataManager() ? dataManager()->archive() : nullptr)
        archive->importVCards(texts, kContactsProperty);
    else
        list->importVCards(texts);
    list = fetchSyncElemsList();
    reloadData();
    const int added = list ? list->count() - before : 0;
    // Cards the reader could not take (no name, no fields, broken lines).
    const int skipped = std::max(0, std::max(begun, int(texts.size())) - std::max(added, 0));
    if (skipped > 0) {
        qCInfo(lcOrganizer) << "import skipped" << skipped << "broken entries of" << paths;
        Q_EMIT entriesSkipped(skipped, paths);
    }
    if (added != 0 && list) {
        list->trickleIfNeeded();
        QString text = FormattingUtil::stringWithFormat(viewText(kViewItemsAdded), {added});
        if (skipped > 0)
            text += QLatin1Char('\n') + FormattingUtil::stringWithFormat(viewText(kViewBrokenEntries), {skipped});
        displayErrorText(1, QString(), text);
    } else if (skipped > 0) {
        platform::gui::beep();
        displayErrorText(1, QString(), FormattingUtil::stringWithFormat(viewText(kViewBrokenEntries), {skipped}));
    }
}

std::vector<OrganizerContactsView::Elem> OrganizerContactsView::addedSince(const std::vector<Elem>& before) const
{
    std::vector<Elem> added;
    QVSyncElemList* list = syncElemsList();
    if (!list)
        return added;
    QSet<const QVSyncElem*> known;
    for (const Elem& elem : before)
        known.insert(elem.get());
    for (const Elem& elem : list->allElems())
        if (!known.contains(elem.get()))
            added.push_back(elem);
    return added;
}

void OrganizerContactsView::addPersonByUID(const QString& uid)
{
    QVSyncElemList* list = syncElemsList();
    const ContactPersonPtr person = contactStore_ ? contactStore_->personByUid(uid) : nullptr;
    if (!list || !person) {
        qCInfo(lcOrganizer) << "address-book person" << uid << "not known; not pasted";
        return;
    }
    const std::vector<Elem> before = list->allElems();
    list->addVXDataItem(QString(), QString::fromUtf8(person->vCardText), QString());
    for (const Elem& elem : addedSince(before)) {
        if (QVVCardElem* contact = viewContactOf(elem); contact && !person->photo.isEmpty())
            contact->setImageData(person->photo);
        list->makeElemMemberOfDefaultGroup(elem);
        selArray_.push_back(elem);
    }
}

void OrganizerContactsView::pasteItems(const QVariantList& items, const QString& type, int level)
{
    QVSyncElemList* list = fetchSyncElemsList();
    if (!list)
        return;
    if (level == 0) {
        selArray_.clear();
        pasting_ = true;
    }
    if (type == contactsviewtransfer::kVCardMime) {
        for (const QVariant& item : items) {
            const QString text = item.typeId() == QMetaType::QByteArray ? QString::fromUtf8(item.toByteArray())
                                                                        : item.toString();
            const std::optional<QStringList> cards = importVCardsFromString(text);
            for (const QString& card : cards ? *cards : QStringList()) {
                removeSearchData();
                const std::vector<Elem> before = list->allElems();
                list->addVXDataItem(QString(), card, QString());
                for (const Elem& elem : addedSince(before)) {
                    list->makeElemMemberOfDefaultGroup(elem);
                    selArray_.push_back(elem);
                }
            }
        }
    } else if (type == contactsviewtransfer::kPeopleDictMime || type == contactsviewtransfer::kPeopleUIDsMime) {
        const bool dictType = type == contactsviewtransfer::kPeopleDictMime;
        for (const QVariant& item : items) {
            if (item.typeId() == QMetaType::QVariantList) {
                pasteItems(item.toList(), type, level + 1);
                continue;
            }
            QVariantMap values;
            if (item.typeId() == QMetaType::QVariantMap)
                values = item.toMap();
            else if (item.typeId() == QMetaType::QByteArray && dictType)
                values = platform::plist::read(item.toByteArray()).toMap();
            else if (item.typeId() == QMetaType::QByteArray)
                for (const QString& uid : QString::fromUtf8(item.toByteArray()).split(QLatin1Char('\n')))
                    values.insert(uid.trimmed(), uid.trimmed());
            else
                values.insert(item.toString(), item);
            for (auto it = values.cbegin(); it != values.cend(); ++it) {
                QString uid = dictType ? it.value().toMap().value(QStringLiteral("uid")).toString() : it.value().toString();
                if (uid.isEmpty())
                    uid = it.key();
                if (!uid.isEmpty())
                    addPersonByUID(uid);
            }
        }
    }
    if (level == 0)
        finishPaste();
    list->trickleIfNeeded();
}

void OrganizerContactsView::finishPaste()
{
    pasting_ = false;
    if (!selArray_.empty()) {
        sortAndUpdate();
        moveNamelessToEnd();
        setSelectionElemsArray(selArray_);
        const QList<int> rows = itemsView()->selectedRowIndexes();
        showContact(rows.isEmpty() ? -1 : rows.first());
    }
    selArray_.clear();
}

void OrganizerContactsView::pasteFromClipboard()
{
    if (isHistoryDevice() || !itemsView()) {
        platform::gui::beep();
        return;
    }
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    if (!mime) {
        platform::gui::beep();
        return;
    }
    const QStringList cards = contactsviewtransfer::vCardTextsFromMime(*mime);
    const QStringList uids = cards.isEmpty() ? contactsviewtransfer::peopleUIDsFromMime(*mime) : QStringList();
    if (cards.isEmpty() && uids.isEmpty()) {
        // Text that is no vCard, or nothing a contact can be made of.
        platform::gui::beep();
        return;
    }
    itemsView()->registerUndoState(getCurrentState(), viewText(kViewUndoCut));
    if (!cards.isEmpty())
        pasteItems({cards.join(QString())}, contactsviewtransfer::kVCardMime, 0);
    else
        pasteItems(QVariantList(uids.cbegin(), uids.cend()), contactsviewtransfer::kPeopleUIDsMime, 0);
}

void OrganizerContactsView::openAddressBook()
{
    LaunchAddressBookAndMakeFront();
}

void OrganizerContactsView::import()
{
    const QString home = QDir::homePath();
    QString path;
    if (openPanel_)
        path = openPanel_(home);
    else
        path = QFileDialog::getOpenFileName(this, QString(), home, QStringLiteral("vCard (*.vcf)"));
    if (!path.isEmpty())
        importFiles({path});
}

// ---- The phone and the sync engine

void OrganizerContactsView::revert()
{
    if (OrganizerArchive* archive = dataManager() ? dataManager()->archive() : nullptr)
        archive->revertStorage(kContactsProperty);
    fetchSyncElemsList();
    updateContent();
}

void OrganizerContactsView::requestUpdate(bool forceSlowSync)
{
    auto* manager = dynamic_cast<DZDataManager*>(dataManager());
    if (!manager)
        return;
    try {
        if (const DZDataManager::Job job = manager->updateOrganizerDataOfType(kContactsProperty, 1, forceSlowSync))
            addFeedBackToMaster(job);
    } catch (const platform::Exception& e) {
        qCWarning(lcOrganizer) << "contacts update not posted:" << e.name() << e.reason();
        platform::gui::beep();
    }
}

void OrganizerContactsView::reloadFromDevice(NSScaledImageButton* sender)
{
    (void)sender;
    showContact(-1);
    if (!getMFDevice()) {
        QuickLogToNamedLog(qvlog::kXT, QStringLiteral("##### [%1 reloadFromDevice] mfDevice == nil! ###"),
                           defaultsName());
        return;
    }
    if (isHistoryDevice()) {
        platform::gui::beep();
        return;
    }
    if (OrganizerArchive* archive = dataManager() ? dataManager()->archive() : nullptr)
        archive->deleteAllInStorage(kContactsProperty);
    fetchSyncElemsList();
    reloadData();
    itemsView()->undoManager()->clear();
    requestUpdate(true);
}

void OrganizerContactsView::reloadFromDeviceMinimal()
{
    requestUpdate(true);
}

void OrganizerContactsView::update(NSScaledImageButton* sender)
{
    (void)sender;
    if (isHistoryDevice()) {
        platform::gui::beep();
        return;
    }
    itemsView()->undoManager()->clear();
    showContact(-1);
    requestUpdate(false);
}

void OrganizerContactsView::syncWithEngine()
{
    MFDevice* device = getMFDevice();
    auto* handler = device ? dynamic_cast<SyncEngineHandler*>(device->syncEngineHandler()) : nullptr;
    if (!handler)
        return;
    if (handler->writeToSyncEngine(kContactsProperty) != SyncEngineHandler::kOK)
        platform::gui::beep();
}

void OrganizerContactsView::trickleWithSyncEngine()
{
    MFDevice* device = getMFDevice();
    if (device && device->syncEngineHandler())
        device->syncEngineHandler()->trickleSyncEngine(kContactsProperty);
}

// ---- The card

QVVCardElem* OrganizerContactsView::contactAtRow(int row) const
{
    return viewContactOf(elemAtRow(row));
}

QString OrganizerContactsView::elemDescription(int row) const
{
    QVVCardElem* contact = contactAtRow(row);
    if (!contact)
        return kNoCardElem;
    QString name = (alternativeNames_ ? contact->fullNameLastFirst() : contact->fullName()).trimmed();
    const QString company = contact->company();
    if (name.trimmed().isEmpty() && company.isEmpty())
        return contact->entryName();
    if (!name.isEmpty())
        name += QLatin1Char('\r');
    if (!company.isEmpty() && !name.contains(company))
        name += company;
    return name;
}

void OrganizerContactsView::createCardInfo(QVVCardElem* contact)
{
    displayedPhoneNumbers_.clear();
    fieldArray_.clear();
    contentArray_.clear();
    typesArray_.clear();
    if (contact && contact->vxDict())
        contact->getFullDisplayDataFromVXDict(*contact->vxDict(), fieldArray_, contentArray_, false, typesArray_,
                                              true);
    for (int i = 0; i < contentArray_.size() && i < typesArray_.size(); ++i)
        if (typesArray_.at(i) == QVVCardElem::kPhoneCode)
            displayedPhoneNumbers_ << contentArray_.at(i);
}

void OrganizerContactsView::addContentLine(const QString& text, quint32 type)
{
    while (fieldArray_.size() < contentArray_.size())
        fieldArray_ << QString();
    fieldArray_ << QString();
    contentArray_ << text;
    typesArray_ << type;
}

void OrganizerContactsView::showCardImage(const QImage& image, bool empty)
{
    cardImage_ = image;
    cardShowsEmpty_ = empty;
    contactImageView_->setPixmap(QPixmap::fromImage(
        image.scaled(kCardPhotoSize, kCardPhotoSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void OrganizerContactsView::showContact(int row)
{
    if (row < 0) {
        curUUID_.clear();
        contactTitleView_->clear();
        contactDepartmentView_->clear();
        contactNameView_->clear();
        showCardImage(emptyImage_, true);
        createCardInfo(nullptr);
    } else {
        QVVCardElem* contact = contactAtRow(row);
        if (!contact)
            return;
        curUUID_ = contact->elemUUID();
        contactNameView_->setText(elemDescription(row).replace(QLatin1Char('\r'), QLatin1Char('\n')).trimmed());
        const QImage photo = contact->imageWithSize(QSize(kCardPhotoSize, kCardPhotoSize));
        if (photo.isNull())
            showCardImage(emptyImage_, true);
        else
            showCardImage(photo, false);
        createCardInfo(contact);
        contactTitleView_->setText(contact->getJobTitle());
        contactDepartmentView_->setText(contact->getDepartment());
    }
    fillDetailTable();
}

void OrganizerContactsView::fillDetailTable()
{
    detailModel_->removeRows(0, detailModel_->rowCount());
    for (int row = 0; row < contentArray_.size(); ++row) {
        QList<QStandardItem*> cells{new QStandardItem(fieldArray_.value(row)),
                                    new QStandardItem(contentArray_.at(row)), new QStandardItem};
        if (row < typesArray_.size() && typesArray_.at(row) != 0)
            cells.at(2)->setData(QVariant::fromValue(typesArray_.at(row)), Qt::DisplayRole);
        for (QStandardItem* cell : cells)
            cell->setEditable(false);
        detailModel_->appendRow(cells);
    }
    contactAddItemsView_->reloadData();
}

bool OrganizerContactsView::isDetailRowSelectable(int row) const
{
    if (isHistoryDevice() || row < 0 || row >= typesArray_.size())
        return false;
    const quint32 type = typesArray_.at(row);
    return type == QVVCardElem::kPhoneCode || type == QVVCardElem::kMailCode;
}

void OrganizerContactsView::configureValueCell(ContactsButtonCell* cell, int row)
{
    if (!cell)
        return;
    const quint32 type = row < typesArray_.size() ? typesArray_.at(row) : 0;
    cell->setText(contentArray_.value(row));
    cell->setCellType(type);
    const bool active = type == QVVCardElem::kPhoneCode || type == QVVCardElem::kMailCode;
    if (!active) {
        cell->setEnabled(false);
        cell->setFocusPolicy(Qt::NoFocus);
        return;
    }
    cell->setEnabled(!isHistoryDevice());
    cell->setFocusPolicy(isHistoryDevice() ? Qt::NoFocus : Qt::StrongFocus);
    if (!cell->menu()) {
        // The cell's copy of the menu triggers the pane's own actions with
        // the cell as their data.
        cell->setMenu(sendContext_);
        if (QMenu* menu = cell->menu())
            connect(menu, &QMenu::aboutToShow, this, [this, menu] {
                for (QAction* action : menu->actions())
                    action->setEnabled(validateSendAction(action));
            });
    }
}

bool OrganizerContactsView::validateSendAction(const QAction* action) const
{
    ContactsButtonCell* cell = action ? ContactsButtonCell::representedCell(action) : nullptr;
    if (!cell)
        return false;
    const QString name = action->objectName();
    if (name == QStringLiteral("dialNumber"))
        return cell->cellType() == QVVCardElem::kPhoneCode;
    if (name == QStringLiteral("sendSMS")) {
        MFDevice* device = getMFDevice();
        return cell->cellType() == QVVCardElem::kPhoneCode && device && device->devInfo()
            && device->devInfo()->canSendSMS();
    }
    if (name == QStringLiteral("sendEMail"))
        return cell->cellType() == QVVCardElem::kMailCode;
    return true;
}

void OrganizerContactsView::dialNumber(ContactsButtonCell* cell)
{
    if (cell)
        dialingDialog_->doDialNumber(windowController(), cell->text());
}

void OrganizerContactsView::sendSMS(ContactsButtonCell* cell)
{
    if (!cell)
        return;
    pendingSMS_ = {{kViewNumberKey, cell->text()}};
    smsTimer_.start(kSMSDelay);
}

void OrganizerContactsView::sendEMail(ContactsButtonCell* cell)
{
    if (cell)
        LaunchQVURL(kViewMailTo.arg(cell->text()));
}

// ---- Columns and sorting

quint32 OrganizerContactsView::sortCodeForColumnSelector(const QString& identifier)
{
    if (identifier == kPhoneColumn)
        return kSortPhone;
    return alternativeNames_ ? kSortLast : kSortFirst;
}

void OrganizerContactsView::updateColumTitle()
{
    const int column = itemsView()->columnWithIdentifier(kTitleColumn);
    if (column >= 0)
        itemsView()->setColumnTitle(column, viewText(alternativeNames_ ? kViewLastFirstTitle : kViewFirstLastTitle));
}

int OrganizerContactsView::numberOfRowsInTableView(DataTableView& table)
{
    if (&table == itemsView()) {
        QVSyncElemList* list = syncElemsList();
        return list ? list->count_cs() : 0;
    }
    return 0;
}

QVariant OrganizerContactsView::objectValueForTableColumn(DataTableView& table, const QString& column, int row)
{
    if (&table != itemsView())
        return {};
    if (column == kTitleColumn)
        return elemDescription(row).replace(QLatin1Char('\r'), QLatin1Char('\n')).trimmed();
    if (column == kPhoneColumn)
        return getOnPhoneTypeStr(elemAtRow(row));
    return kUnknownColumnText;
}

QVariant OrganizerContactsView::willDisplayCell(DataTableView& table, const QString& column, int row, int role)
{
    if (&table == itemsView() && column == kTitleColumn && role == Qt::DecorationRole) {
        QVVCardElem* contact = contactAtRow(row);
        if (!contact)
            return {};
        const QImage photo = contact->imageWithSize(QSize(kRowPhotoSize, kRowPhotoSize));
        return photo.isNull() ? nodeImage_ : photo;
    }
    return OrganizerSyncTableView::willDisplayCell(table, column, row, role);
}

void OrganizerContactsView::updateContent()
{
    OrganizerSyncTableView::updateContent();
    if (moveNamelessToEnd())
        itemsView()->reloadData();
}

bool OrganizerContactsView::moveNamelessToEnd()
{
    // A contact without any name has no sort text of its own: it goes after
    // the named ones whichever way the list is sorted.
    QVSyncElemList* list = syncElemsList();
    if (!list || !list->elemsShareAllElems() || list->searchActive())
        return false;
    std::vector<Elem> nameless;
    bool named = false;
    bool misplaced = false;
    for (const Elem& elem : list->elemsList()) {
        QVVCardElem* contact = viewContactOf(elem);
        if (contact && contact->fullName().trimmed().isEmpty() && contact->company().isEmpty()) {
            nameless.push_back(elem);
        } else {
            misplaced = misplaced || !nameless.empty();
            named = true;
        }
    }
    if (!named || !misplaced)
        return false;
    for (const Elem& elem : nameless) {
        list->removeObject(elem);
        list->addObject(elem);
    }
    return true;
}

void OrganizerContactsView::didClickTableColumn(DataTableView& table, const QString& column)
{
    QVSyncElemList* list = syncElemsList();
    if (&table != itemsView() || !list)
        return;
    const std::vector<Elem> selection = getSelectionElemsArray();
    if (column != lastColumn()) {
        setSortDescending(true);
        setLastColumn(column);
        itemsView()->clearIndicatorImage();
        itemsView()->setHighlightedTableColumn(itemsView()->columnWithIdentifier(column));
        list->sortBy(sortCodeForColumnSelector(column), true);
    } else {
        // The list sorts a new column's way with the flag set (its own
        // order reads the flag the other way round): every second click
        // reverses, the others sort anew, and on "title" switch between first
        // and last names, so the clicks cycle through first name ascending,
        // descending, last name ascending, descending.
        setSortDescending(!sortDescending());
        if (!sortDescending()) {
            list->reverse();
        } else {
            if (column == kTitleColumn) {
                alternativeNames_ = !alternativeNames_;
                updateColumTitle();
            }
            list->sortBy(sortCodeForColumnSelector(column), true);
        }
    }
    moveNamelessToEnd();
    searchContentChanged();
    setSelectionElemsArray(selection);
    itemsView()->setIndicatorImage(itemsView()->columnWithIdentifier(column), sortDescending());
    itemsView()->reloadData();
    setSelectionElemsArray(selection);
}

void OrganizerContactsView::selectionQVElemTableChanged()
{
    const QList<int> rows = itemsView()->selectedRowIndexes();
    showContact(rows.isEmpty() ? -1 : rows.first());
}

// ---- Drops

bool OrganizerContactsView::refusesStoreDrop() const
{
    QVSyncElemList* list = syncElemsList();
    MFDevice* device = getMFDevice();
    return list && list->isSyncEngineList() && device && !device->wantsSyncChangesFromDevice(kContactsProperty);
}

Qt::DropAction OrganizerContactsView::validateDrop(DataTableView& table, const QMimeData& data, int row,
                                                   Qt::DropAction proposed)
{
    (void)row;
    if (&table != itemsView() || isHistoryDevice())
        return Qt::IgnoreAction;
    // A drag of this table's own rows copies only with the Alt key.
    if (draggingOut_ && data.hasFormat(contactsviewtransfer::kOrganizerMime))
        return (QApplication::keyboardModifiers() & Qt::AltModifier) ? Qt::CopyAction : Qt::IgnoreAction;
    const bool usable = !contactsviewtransfer::localFilesFromMime(data).isEmpty()
        || !contactsviewtransfer::peopleUIDsFromMime(data).isEmpty();
    (void)proposed;
    return usable ? Qt::CopyAction : Qt::IgnoreAction;
}

bool OrganizerContactsView::acceptDrop(DataTableView& table, const QMimeData& data, int row, Qt::DropAction action)
{
    (void)row;
    (void)action;
    if (&table != itemsView() || isHistoryDevice())
        return false;
    if (refusesStoreDrop()) {
        platform::gui::beep();
        return false;
    }
    const QStringList files = contactsviewtransfer::localFilesFromMime(data);
    if (!files.isEmpty()) {
        QPointer<OrganizerContactsView> self(this);
        QMetaObject::invokeMethod(
            this, [self, files] {
                if (self)
                    self->importFiles(files);
            },
            Qt::QueuedConnection);
        return true;
    }
    const QStringList uids = contactsviewtransfer::peopleUIDsFromMime(data);
    if (!uids.isEmpty()) {
        QVSyncElemList* list = syncElemsList();
        if (list && list->isSyncEngineList()) {
            platform::gui::beep();
            return true;
        }
        pasteItems(QVariantList(uids.cbegin(), uids.cend()), contactsviewtransfer::kPeopleUIDsMime, 0);
    }
    return true;
}

// ---- Contacts out

contactsviewtransfer::Contacts OrganizerContactsView::contactsAtRows(const QList<int>& rows) const
{
    contactsviewtransfer::Contacts contacts;
    for (int row : rows)
        if (auto contact = std::dynamic_pointer_cast<QVVCardElem>(elemAtRow(row)))
            contacts.push_back(contact);
    return contacts;
}

QString OrganizerContactsView::fileNameForSelection(const QList<int>& rows) const
{
    return contactsviewtransfer::fileNameForContacts(contactsAtRows(rows));
}

QString OrganizerContactsView::getDropLocation() const
{
    FilesMirror* mirror = dataManager() ? dataManager()->mirror() : nullptr;
    return mirror ? mirror->getGlobalSubTempPath(contactsviewtransfer::kDragFolderName) : QString();
}

QMimeData* OrganizerContactsView::mimeDataForDraggedRows(const QList<int>& rows)
{
    QString folder = getDropLocation();
    if (folder.isEmpty())
        folder = QDir::tempPath() + QLatin1Char('/') + contactsviewtransfer::kDragFolderName;
    const QString path = contactsviewtransfer::writeVCardFile(contactsAtRows(rows), folder);
    if (path.isEmpty()) {
        platform::gui::beep();
        return nullptr;
    }
    draggingOut_ = true;
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(path)});
    mime->setData(contactsviewtransfer::kOrganizerMime, contactsviewtransfer::kOrganizerContacts.toUtf8());
    return mime;
}

void OrganizerContactsView::dragFinished()
{
    draggingOut_ = false;
    OrganizerSyncTableView::dragFinished();
}

void OrganizerContactsView::deleteItemsFromIndexSet(const QList<int>& rows)
{
    draggingOut_ = false;
    OrganizerSyncTableView::deleteItemsFromIndexSet(rows);
    showContact(-1);
}

void OrganizerContactsView::copyItems(QVElemTableView& table)
{
    (void)table;
    QList<int> rows = itemsView()->selectedRowIndexes();
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end());
    QMimeData* mime = contactsviewtransfer::copyMimeData(contactsAtRows(rows));
    if (!mime) {
        platform::gui::beep();
        return;
    }
    QApplication::clipboard()->setMimeData(mime);
    setPasteboardChangeCount(pasteboardChangeCount() + 1);
}

QString OrganizerContactsView::defaultExportFileName() const
{
    MFDevice* device = getMFDevice();
    const QString phone = device && device->devInfo() ? device->devInfo()->getTheDeviceName() : QString();
    const QString name = phone.isEmpty() ? viewText(kViewExportedVCards)
                                         : FormattingUtil::stringWithFormat(viewText(kViewVCardsFrom), {phone});
    return safeFileNameFromDescription(name + QStringLiteral(".vcf"), QStringLiteral("Contacts.vcf"));
}

bool OrganizerContactsView::writeExport(const QString& path, bool withPictures)
{
    QVSyncElemList* list = syncElemsList();
    if (!list) {
        platform::gui::beep();
        return false;
    }
    contactsviewtransfer::Contacts contacts;
    for (int index = 0; index < list->count(); ++index)
        if (auto contact = std::dynamic_pointer_cast<QVVCardElem>(list->objectAtIndex(index)))
            contacts.push_back(contact);
    const QByteArray data = contactsviewtransfer::vCardsData(
        contacts, withPictures ? contactsviewtransfer::kWithPictures : contactsviewtransfer::kWithoutPictures);
    QString error;
    if (!platform::writeFileAtomically(path, data, &error)) {
        qCWarning(lcOrganizer) << "contacts export not written:" << error;
        platform::gui::beep();
        return false;
    }
    return true;
}

void OrganizerContactsView::exportContacts(bool withPictures)
{
    if (!syncElemsList()) {
        platform::gui::beep();
        return;
    }
    const QString suggested = QDir::homePath() + QLatin1Char('/') + defaultExportFileName();
    QString path;
    if (savePanel_)
        path = savePanel_(suggested);
    else
        path = QFileDialog::getSaveFileName(this, QString(), suggested, QStringLiteral("vCard (*.vcf)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".vcf"), Qt::CaseInsensitive))
        path += QStringLiteral(".vcf");
    writeExport(path, withPictures);
}
