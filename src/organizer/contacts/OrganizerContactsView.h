#pragma once

#include "organizer/contacts/ContactStore.h"
#include "organizer/contacts/OrganizerContactsViewTransfer.h"
#include "organizer/tables/OrganizerSyncTableView.h"
#include "platform/NotificationCenter.h"
#include "widgets/NSScaledImageButton.h"

#include <QImage>
#include <QLineEdit>
#include <QList>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class AppLaunchButton;
class ContactTableView;
class ContactsButtonCell;
class DialingDialog;
class FooterToolBarView;
class QLabel;
class QMenu;
class QStandardItemModel;
class QVVCardElem;

// The contacts pane of the organizer: the phone's contacts (organizer
// property 0) as a list and the selected contact as a card with photo, name,
// job title, department and a table of numbers, addresses and notes, whose
// numbers can be dialled or messaged and whose addresses mailed. Contacts
// come in by paste, drop, file import or from the address book, and go out as
// copies (names, vCards, address-book people), dragged vCard files (a drag the
// target takes as a move deletes them) and an exported file. Every edit is a
// change of the contacts item list; the phone gets it with the next update.
class OrganizerContactsView : public OrganizerSyncTableView {
    Q_OBJECT

public:
    static constexpr int kContactsProperty = 0;
    static constexpr quint32 kSortPhone = 0x70686F6E;   // 'phon'
    static constexpr quint32 kSortLast = 0x6C617374;    // 'last'
    static constexpr quint32 kSortFirst = 0x66697273;   // 'firs'
    static constexpr int kCardPhotoSize = 64;
    static constexpr int kRowPhotoSize = 32;
    // A request to write an SMS waits this long (seconds).
    static constexpr double kSMSDelay = 0.12;

    static inline const QString kTitleColumn = QStringLiteral("title");
    static inline const QString kPhoneColumn = QStringLiteral("phone");
    static inline const QString kAlternativeNamesSuffix = QStringLiteral("-AlternativeNames");
    static inline const QString kContactInvalidated = QStringLiteral("DZ-ContactInvalidated");
    static inline const QString kNoCardElem = QStringLiteral("=== no card elem ===");
    static inline const QString kUnknownColumnText = QStringLiteral("????");
    static inline const QString kEmptyPictName = QStringLiteral("EmptyPict");

    explicit OrganizerContactsView(QWidget* parent = nullptr);
    ~OrganizerContactsView() override;

    // The address book the pane takes people from (pasted or dropped ids)
    // and names dialled numbers with; none: such pastes add nothing.
    void setContactStore(ContactStore* store);
    ContactStore* contactStore() const { return contactStore_; }

    // Life.
    void awakeFromNib() override;
    using OrganizerSyncTableView::setup;
    void setup(DeviceWindowController* controller, MFDevice* device, OrganizerViewProtocol* organizer) override;
    void activate() override;
    void windowWillClose(QWidget* window) override;
    void updateContent() override;
    void reloadData() override;
    void updateBottomLine() override;
    void notifyItemChanged(const platform::Notification& notification);

    QString curUUID() const { return curUUID_; }
    void setCurUUID(const QString& uuid) { curUUID_ = uuid; }
    bool alternativeNames() const { return alternativeNames_; }

    // Contacts in.
    bool hasValidContent(const QStringList& fileNames) override;
    void importFiles(const QStringList& paths);
    void pasteItems(const QVariantList& items, const QString& type, int level) override;
    // Pastes the clipboard's vCards or address-book people (the item table's
    // paste, with its undo step); a text that holds no vCard beeps.
    void pasteFromClipboard();
    void openAddressBook();
    // The open panel for one .vcf file, then importFiles.
    void import();

    // Contacts out.
    void copyItems(QVElemTableView& table) override;
    void exportWithPictures() { exportContacts(true); }
    void exportWithoutPictures() { exportContacts(false); }
    // The save panel (type "vcf", in the home folder), then writeExport.
    void exportContacts(bool withPictures);
    // Every contact's vCard 2.1 text, in list order, into one file (UTF-8,
    // written atomically); false (with a beep) without list or on failure.
    bool writeExport(const QString& path, bool withPictures);
    // "VCards from <phone>", or "Exported VCards" for a phone without name,
    // as a file name.
    QString defaultExportFileName() const;
    QString fileNameForSelection(const QList<int>& rows) const;
    // The mirror's temporary "OrganizerContacts" folder; empty without one.
    QString getDropLocation() const;
    QMimeData* mimeDataForDraggedRows(const QList<int>& rows) override;
    // The end of a drag out; taken as a move it deletes the rows (undoable).
    void dragFinished() override;
    void deleteItemsFromIndexSet(const QList<int>& rows) override;

    // The phone and the desktop sync engine.
    void revert();
    void reloadFromDevice(NSScaledImageButton* sender) override;
    void reloadFromDeviceMinimal();
    void update(NSScaledImageButton* sender) override;
    void syncWithEngine();
    void trickleWithSyncEngine();
    void syncWithDevice() { update(nullptr); }

    // The card.
    void showContact(int row) override;
    void createCardInfo(QVVCardElem* contact);
    void addContentLine(const QString& text, quint32 type);
    QString elemDescription(int row) const;
    const QStringList& fieldArray() const { return fieldArray_; }
    const QStringList& contentArray() const { return contentArray_; }
    const QList<quint32>& typesArray() const { return typesArray_; }
    QLabel* contactImageView() const { return contactImageView_; }
    QLabel* contactNameView() const { return contactNameView_; }
    QLabel* contactTitleView() const { return contactTitleView_; }
    QLabel* contactDepartmentView() const { return contactDepartmentView_; }
    ContactTableView* contactAddItemsView() const { return contactAddItemsView_; }
    QImage cardImage() const { return cardImage_; }
    bool cardShowsEmptyImage() const { return cardShowsEmpty_; }
    QMenu* sendContext() const { return sendContext_; }
    DialingDialog* dialingDialog() const { return dialingDialog_; }

    // Actions of a value's menu (the cell's text is the number or address).
    bool validateSendAction(const QAction* action) const;
    void dialNumber(ContactsButtonCell* cell);
    void sendSMS(ContactsButtonCell* cell);
    void sendEMail(ContactsButtonCell* cell);

    // Columns and sorting.
    quint32 sortCodeForColumnSelector(const QString& identifier) override;
    void updateColumTitle();
    int numberOfRowsInTableView(DataTableView& table) override;
    QVariant objectValueForTableColumn(DataTableView& table, const QString& column, int row) override;
    QVariant willDisplayCell(DataTableView& table, const QString& column, int row, int role) override;
    void didClickTableColumn(DataTableView& table, const QString& column) override;
    void selectionQVElemTableChanged() override;
    Qt::DropAction validateDrop(DataTableView& table, const QMimeData& data, int row,
                                Qt::DropAction proposed) override;
    bool acceptDrop(DataTableView& table, const QMimeData& data, int row, Qt::DropAction action) override;

    // Tests replace the file panels: an empty answer is a cancel.
    using PanelHook = std::function<QString(const QString& suggestedPath)>;
    void setOpenPanelHook(PanelHook hook) { openPanel_ = std::move(hook); }
    void setSavePanelHook(PanelHook hook) { savePanel_ = std::move(hook); }

Q_SIGNALS:
    // A drop or import counted contacts its files did not give (broken
    // entries skipped), with the number and the file names.
    void entriesSkipped(int count, const QStringList& files);

private:
    void buildInterface();
    void installShortcuts();
    QVVCardElem* contactAtRow(int row) const;
    contactsviewtransfer::Contacts contactsAtRows(const QList<int>& rows) const;
    // The list's contacts that are not in before (added by a paste).
    std::vector<Elem> addedSince(const std::vector<Elem>& before) const;
    void addPersonByUID(const QString& uid);
    void finishPaste();
    void fillDetailTable();
    void configureValueCell(ContactsButtonCell* cell, int row);
    bool isDetailRowSelectable(int row) const;
    bool refusesStoreDrop() const;
    void requestUpdate(bool forceSlowSync);
    // Contacts without any name go after the named ones; true when moved.
    bool moveNamelessToEnd();
    void showCardImage(const QImage& image, bool empty);

    QLabel* contactImageView_ = nullptr;
    QLabel* contactNameView_ = nullptr;
    QLabel* contactDepartmentView_ = nullptr;
    QLabel* contactTitleView_ = nullptr;
    ContactTableView* contactAddItemsView_ = nullptr;
    QStandardItemModel* detailModel_ = nullptr;
    FooterToolBarView* rightFooterView_ = nullptr;
    AppLaunchButton* appButton_ = nullptr;
    QMenu* sendContext_ = nullptr;
    DialingDialog* dialingDialog_ = nullptr;
    QImage nodeImage_;
    QImage emptyImage_;
    QImage cardImage_;
    bool cardShowsEmpty_ = true;
    QStringList fieldArray_;
    QStringList contentArray_;
    QList<quint32> typesArray_;
    bool alternativeNames_ = false;
    std::vector<Elem> selArray_;
    bool pasting_ = false;
    bool draggingOut_ = false;
    QString curUUID_;
    QStringList displayedPhoneNumbers_;
    QPointer<ContactStore> contactStore_;
    platform::NotificationCenter::Token invalidatedToken_{};
    bool observing_ = false;
    PanelHook openPanel_;
    PanelHook savePanel_;
    platform::Timer smsTimer_;
    QVariantMap pendingSMS_;
};
