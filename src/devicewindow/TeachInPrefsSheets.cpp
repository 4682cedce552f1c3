// The two sheets of the "TeachInPrefs" interface, built here, and the phone
// preferences sheet's behaviour.
#include "devicewindow/TeachInPrefsHandler.h"

#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/NSDefaultButton.h"
#include "devicewindow/TeachInPrefsKeys.h"
#include "devicewindow/TeachInTabView.h"

#include "device/MFDeviceInfo.h"
#include "phone/BackupRules.h"
#include "phone/MFDevice.h"
#include "phone/PhoneFolders.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "device/QVSyncDeviceDescription.h"
#include "widgets/CollapsibleBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QRadioButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace teachinkeys;

namespace {

QString teachInSheetText(const char* key)
{
    return platform::localizedString(QLatin1String(key));
}

QLabel* teachInSheetLabel(const char* key, QWidget* parent, bool wrap = true)
{
    auto* label = new QLabel(teachInSheetText(key), parent);
    label->setWordWrap(wrap);
    return label;
}

QCheckBox* teachInSheetCheck(const char* key, const QString& name, QWidget* parent, int tag = -1)
{
    auto* box = new QCheckBox(teachInSheetText(key), parent);
    box->setObjectName(name);
    box->setAccessibleName(box->text());
    if (tag >= 0)
        box->setProperty("tag", tag);
    return box;
}

QProgressBar* teachInSheetSpinner(const QString& name, QWidget* parent)
{
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setMaximumHeight(12);
    bar->setVisible(false);
    return bar;
}

QWidget* teachInSheetPage(const char* identifier, QWidget* parent)
{
    auto* page = new QWidget(parent);
    page->setObjectName(QLatin1String(identifier));
    page->setAccessibleName(teachInSheetText(QByteArray(QByteArray("Tab.") + identifier).constData()));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 12, 16, 12);
    return page;
}

// Warning levels of the SMS sending question, by cell tag.
constexpr int kTeachInWarnLevels[] = {0, 1, 2};

} // namespace

QWidget* TeachInPrefsHandler::buildBackupChoices(QWidget* parent, const QString& name)
{
    auto* box = new CollapsibleBox(parent);
    box->setObjectName(name);
    box->setAnimationDelegate(this);
    box->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(box);
    const char* organizer[] = {"Backup.Contacts", "Backup.Calendar", "Backup.Notes", "Backup.Bookmarks", "Backup.SMS"};
    const char* files[] = {"Backup.Audio", "Backup.Pictures", "Backup.Videos", "Backup.Maps", "Backup.OtherFiles"};
    grid->addWidget(teachInSheetLabel("Backup.OrganizerTitle", box, false), 0, 0);
    grid->addWidget(teachInSheetLabel("Backup.FilesTitle", box, false), 0, 1);
    for (int i = 0; i < kOrganizerTagCount; ++i) {
        grid->addWidget(teachInSheetCheck(organizer[i], QStringLiteral("%1Tag%2").arg(name).arg(kFirstOrganizerTag + i),
                                          box, kFirstOrganizerTag + i),
                        i + 1, 0);
        grid->addWidget(teachInSheetCheck(files[i], QStringLiteral("%1Tag%2").arg(name).arg(kAudioTag + i), box,
                                          kAudioTag + i),
                        i + 1, 1);
    }
    box->awakeFromNib();
    return box;
}

void TeachInPrefsHandler::buildTeachInSheet()
{
    QWidget* window = deviceWindowController_ ? deviceWindowController_->window() : nullptr;
    auto* sheet = new QDialog(window, Qt::Sheet);
    teachInPanelSheet_ = sheet;
    sheet->setObjectName(QStringLiteral("teachInPanelSheet"));
    sheet->setWindowTitle(teachInSheetText(kTeachInTitle));
    sheet->setWindowModality(Qt::WindowModal);
    sheet->resize(620, 480);
    auto* layout = new QVBoxLayout(sheet);

    auto* tabs = new TeachInTabView(sheet);
    teachInTabView_ = tabs;
    tabs->setObjectName(QStringLiteral("teachInTabView"));
    tabs->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(tabs, 1);

    // Select and Pairing hold the wizard's panes.
    QWidget* select = teachInSheetPage(kTabSelect, tabs);
    select->layout()->addWidget(teachInSheetLabel("TeachIn.SelectText", select));
    selectDevicePlace_ = new QWidget(select);
    selectDevicePlace_->setObjectName(QStringLiteral("selectDevicePlace"));
    new QVBoxLayout(selectDevicePlace_);
    selectDevicePlace_->layout()->setContentsMargins(0, 0, 0, 0);
    select->layout()->addWidget(selectDevicePlace_);
    tabs->addTab(select, select->accessibleName());

    QWidget* pairing = teachInSheetPage(kTabPairing, tabs);
    pairingDevicePlace_ = new QWidget(pairing);
    pairingDevicePlace_->setObjectName(QStringLiteral("pairingDevicePlace"));
    new QVBoxLayout(pairingDevicePlace_);
    pairingDevicePlace_->layout()->setContentsMargins(0, 0, 0, 0);
    pairing->layout()->addWidget(pairingDevicePlace_);
    tabs->addTab(pairing, pairing->accessibleName());

    QWidget* add = teachInSheetPage(kTabAdd, tabs);
    add->layout()->addWidget(teachInSheetLabel("TeachIn.AddText", add));
    phoneBox_ = new CollapsibleBox(add);
    phoneBox_->setObjectName(QStringLiteral("phoneBox"));
    phoneBox_->setFrameShape(QFrame::StyledPanel);
    phoneBox_->setAnimationDelegate(this);
    auto* form = new QFormLayout(phoneBox_);
    deviceName_ = new QLabel(phoneBox_);
    deviceName_->setObjectName(QStringLiteral("deviceName"));
    deviceManufacturer_ = new QLabel(phoneBox_);
    deviceManufacturer_->setObjectName(QStringLiteral("deviceManufacturer"));
    deviceModel_ = new QLabel(phoneBox_);
    deviceModel_->setObjectName(QStringLiteral("deviceModel"));
    form->addRow(teachInSheetText("TeachIn.Name"), deviceName_);
    form->addRow(teachInSheetText("TeachIn.Manufacturer"), deviceManufacturer_);
    form->addRow(teachInSheetText("TeachIn.Model"), deviceModel_);
    phoneBox_->awakeFromNib();
    add->layout()->addWidget(phoneBox_);
    addDeviceIndicator_ = teachInSheetSpinner(QStringLiteral("addDeviceIndicator"), add);
    add->layout()->addWidget(addDeviceIndicator_);
    static_cast<QVBoxLayout*>(add->layout())->addStretch(1);
    tabs->addTab(add, add->accessibleName());

    QWidget* backup = teachInSheetPage(kTabBackup, tabs);
    backup->layout()->addWidget(teachInSheetLabel("TeachIn.BackupText", backup));
    noBackupDevice_ = teachInSheetCheck("TeachIn.BackupDevice", QStringLiteral("noBackupDevice"), backup);
    noBackupDevice_->setChecked(true);
    backupManually_ = teachInSheetCheck("TeachIn.BackupManually", QStringLiteral("backupManually"), backup);
    backup->layout()->addWidget(noBackupDevice_);
    backup->layout()->addWidget(backupManually_);
    settingBox_ = static_cast<CollapsibleBox*>(buildBackupChoices(backup, QStringLiteral("settingBox")));
    backup->layout()->addWidget(settingBox_);
    static_cast<QVBoxLayout*>(backup->layout())->addStretch(1);
    tabs->addTab(backup, backup->accessibleName());

    QWidget* wm1 = teachInSheetPage(kTabWM1, tabs);
    wm1->layout()->addWidget(teachInSheetLabel("TeachIn.AgentText", wm1));
    installAgent_ = new QPushButton(teachInSheetText("TeachIn.InstallAgent"), wm1);
    installAgent_->setObjectName(QStringLiteral("installAgent"));
    wm1->layout()->addWidget(installAgent_);
    installAgentIndicator_ = teachInSheetSpinner(QStringLiteral("installAgentIndicator"), wm1);
    wm1->layout()->addWidget(installAgentIndicator_);
    static_cast<QVBoxLayout*>(wm1->layout())->addStretch(1);
    tabs->addTab(wm1, wm1->accessibleName());
    connect(installAgent_, &QPushButton::clicked, this, [this] { teachIn_WaitForAgent(); });

    QWidget* wm3 = teachInSheetPage(kTabWM3, tabs);
    wm3->layout()->addWidget(teachInSheetLabel("TeachIn.WaitAgentText", wm3));
    waitForAgentIndicator_ = teachInSheetSpinner(QStringLiteral("waitForAgentIndicator"), wm3);
    wm3->layout()->addWidget(waitForAgentIndicator_);
    static_cast<QVBoxLayout*>(wm3->layout())->addStretch(1);
    tabs->addTab(wm3, wm3->accessibleName());

    QWidget* error = teachInSheetPage(kTabError, tabs);
    error->layout()->addWidget(teachInSheetLabel("TeachIn.ErrorText", error));
    pairErrID_ = new QLabel(error);
    pairErrID_->setObjectName(QStringLiteral("pairErrID"));
    pairErrID_->setWordWrap(true);
    pairErrID_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    error->layout()->addWidget(pairErrID_);
    static_cast<QVBoxLayout*>(error->layout())->addStretch(1);
    tabs->addTab(error, error->accessibleName());

    QWidget* notSupport = teachInSheetPage(kTabNotSupport, tabs);
    notSupport->layout()->addWidget(teachInSheetLabel(kNotSupport, notSupport));
    static_cast<QVBoxLayout*>(notSupport->layout())->addStretch(1);
    tabs->addTab(notSupport, notSupport->accessibleName());

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancelButton_ = new QPushButton(teachInSheetText(kCancel), sheet);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    cancelButton_->setAutoDefault(false);
    finishButton_ = new NSDefaultButton(teachInSheetText(kContinue), sheet);
    finishButton_->setObjectName(QStringLiteral("finishButton"));
    buttons->addWidget(cancelButton_);
    buttons->addWidget(finishButton_);
    layout->addLayout(buttons);
    connect(finishButton_, &QPushButton::clicked, this, [this] { finishPressed(); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { teachIn_Cancel(); });
    // Escape cancels (only while Cancel can be pressed); Alt+Right is Next,
    // Alt+Left goes back from the pairing to the selection.
    sheet->installEventFilter(this);
    auto* next = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Right), sheet);
    connect(next, &QShortcut::activated, this, [this] { finishPressed(); });
    auto* previous = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Left), sheet);
    connect(previous, &QShortcut::activated, this, [this] { goToPreviousPane(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), sheet);
    connect(escape, &QShortcut::activated, this, [this] {
        if (cancelButton_ && cancelButton_->isEnabled() && cancelButton_->isVisible())
            teachIn_Cancel();
    });
    // The dialog's own reject (the window manager's close) is a Cancel.
    connect(sheet, &QDialog::rejected, this, [this] {
        if (modeTeachIn_ || mfDevice_)
            teachIn_Cancel();
    });
}

void TeachInPrefsHandler::buildDevicePrefsSheet()
{
    QWidget* window = deviceWindowController_ ? deviceWindowController_->window() : nullptr;
    auto* sheet = new QDialog(window, Qt::Sheet);
    devicePrefsPanelSheet_ = sheet;
    sheet->setObjectName(QStringLiteral("devicePrefsPanelSheet"));
    sheet->setWindowTitle(teachInSheetText(kPrefsTitle));
    sheet->setWindowModality(Qt::WindowModal);
    sheet->resize(620, 640);
    auto* layout = new QVBoxLayout(sheet);

    devicePrefsAutomaticConnectionButton_ =
        teachInSheetCheck("Prefs.AutoConnect", QStringLiteral("devicePrefsAutomaticConnectionButton"), sheet);
    layout->addWidget(devicePrefsAutomaticConnectionButton_);
    devicePrefsScanOnConnect_ =
        teachInSheetCheck("Prefs.ScanOnConnect", QStringLiteral("devicePrefsScanOnConnect"), sheet);
    devicePrefsScanOnConnect_->setVisible(false);
    devicePrefsNoBackupDevice_ =
        teachInSheetCheck("TeachIn.BackupDevice", QStringLiteral("devicePrefsNoBackupDevice"), sheet);
    devicePrefsBackupManually_ =
        teachInSheetCheck("TeachIn.BackupManually", QStringLiteral("devicePrefsBackupManually"), sheet);
    layout->addWidget(devicePrefsNoBackupDevice_);
    layout->addWidget(devicePrefsBackupManually_);
    backupBox_ = static_cast<CollapsibleBox*>(buildBackupChoices(sheet, QStringLiteral("backupBox")));
    layout->addWidget(backupBox_);

    auto* languageRow = new QHBoxLayout;
    languageRow->addWidget(teachInSheetLabel("Prefs.Language", sheet, false));
    devicePrefsTeachInLanguage_ = new QLabel(sheet);
    devicePrefsTeachInLanguage_->setObjectName(QStringLiteral("devicePrefsTeachInLanguage"));
    languageRow->addWidget(devicePrefsTeachInLanguage_, 1);
    devicePrefsBusyIndicator_ = teachInSheetSpinner(QStringLiteral("devicePrefsBusyIndicator"), sheet);
    languageRow->addWidget(devicePrefsBusyIndicator_);
    auto* languageButton = new QPushButton(teachInSheetText("Prefs.ReadLanguage"), sheet);
    languageButton->setObjectName(QStringLiteral("devicePrefsLanguage"));
    languageButton->setAutoDefault(false);
    languageRow->addWidget(languageButton);
    layout->addLayout(languageRow);
    connect(languageButton, &QPushButton::clicked, this, [this] { devicePrefs_Language(); });

    layout->addWidget(teachInSheetLabel("Prefs.UserFolders", sheet, false));
    devicePrefsUserPathList_ = new QTableWidget(0, 3, sheet);
    devicePrefsUserPathList_->setObjectName(QStringLiteral("devicePrefsUserPathList"));
    devicePrefsUserPathList_->setAccessibleName(teachInSheetText("Prefs.UserFolders"));
    devicePrefsUserPathList_->setHorizontalHeaderLabels(
        {teachInSheetText("Column.UserFolder"), teachInSheetText("Column.Path"), teachInSheetText("Column.Enabled")});
    devicePrefsUserPathList_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    devicePrefsUserPathList_->verticalHeader()->hide();
    devicePrefsUserPathList_->setTabKeyNavigation(false);
    layout->addWidget(devicePrefsUserPathList_, 1);
    connect(devicePrefsUserPathList_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (updatingTable_ || !item)
            return;
        if (item->column() == 1)
            tableSetObjectValue(item->text(), QLatin1String(kColumnPath), item->row());
        else if (item->column() == 2)
            tableSetObjectValue(item->checkState() == Qt::Checked, QLatin1String(kColumnEnabled), item->row());
    });
    devicePrefsChangePath_ = new QPushButton(teachInSheetText("Prefs.ChangePath"), sheet);
    devicePrefsChangePath_->setObjectName(QStringLiteral("devicePrefsChangePath"));
    devicePrefsChangePath_->setVisible(false);

    smsBox_ = new CollapsibleBox(sheet);
    smsBox_->setObjectName(QStringLiteral("smsBox"));
    smsBox_->setFrameShape(QFrame::StyledPanel);
    smsBox_->setAnimationDelegate(this);
    auto* sms = new QGridLayout(smsBox_);
    devicePrefsDoCheckSMS_ = teachInSheetCheck("Prefs.CheckSMS", QStringLiteral("devicePrefsDoCheckSMS"), smsBox_);
    sms->addWidget(devicePrefsDoCheckSMS_, 0, 0);
    devicePrefsDoCheckEveryMinutes_ = new QLineEdit(smsBox_);
    devicePrefsDoCheckEveryMinutes_->setObjectName(QStringLiteral("devicePrefsDoCheckEveryMinutes"));
    devicePrefsDoCheckEveryMinutes_->setAccessibleName(teachInSheetText("Prefs.Minutes"));
    devicePrefsDoCheckEveryMinutes_->setValidator(
        new QIntValidator(kMinPollMinutes, kMaxPollMinutes, devicePrefsDoCheckEveryMinutes_));
    devicePrefsDoCheckEveryMinutes_->setMaximumWidth(70);
    sms->addWidget(devicePrefsDoCheckEveryMinutes_, 0, 1);
    sms->addWidget(teachInSheetLabel("Prefs.Minutes", smsBox_, false), 0, 2);
    devicePrefsPollRange_ = new QLabel(teachInSheetText("Prefs.MinutesRange"), smsBox_);
    devicePrefsPollRange_->setObjectName(QStringLiteral("devicePrefsPollRange"));
    sms->addWidget(devicePrefsPollRange_, 0, 3);
    devicePrefsDisplaySMSAlert_ =
        teachInSheetCheck("Prefs.ShowInfoPanel", QStringLiteral("devicePrefsDisplaySMSAlert"), smsBox_);
    sms->addWidget(devicePrefsDisplaySMSAlert_, 1, 0, 1, 4);
    devicePrefsAnimateDock_ = teachInSheetCheck("Prefs.DockNotify", QStringLiteral("devicePrefsAnimateDock"), smsBox_);
    sms->addWidget(devicePrefsAnimateDock_, 2, 0, 1, 4);
    deviceSMSSendWarn_ = new QButtonGroup(smsBox_);
    deviceSMSSendWarn_->setObjectName(QStringLiteral("deviceSMSSendWarn"));
    int row = 3;
    for (int level : kTeachInWarnLevels) {
        auto* cell = new QRadioButton(
            teachInSheetText(QByteArray("Prefs.SendWarn").append(QByteArray::number(level)).constData()), smsBox_);
        cell->setObjectName(QStringLiteral("deviceSMSSendWarn%1").arg(level));
        cell->setAccessibleName(cell->text());
        deviceSMSSendWarn_->addButton(cell, level);
        sms->addWidget(cell, row++, 0, 1, 4);
    }
    smsBox_->awakeFromNib();
    layout->addWidget(smsBox_);
    devicePrefsDoesNotSMS_ = teachInSheetLabel("Prefs.DoesNotSMS", sheet);
    devicePrefsDoesNotSMS_->setObjectName(QStringLiteral("devicePrefsDoesNotSMS"));
    layout->addWidget(devicePrefsDoesNotSMS_);
    connect(devicePrefsDoCheckEveryMinutes_, &QLineEdit::editingFinished, this, [this] {
        bool ok = false;
        const int minutes = devicePrefsDoCheckEveryMinutes_->text().toInt(&ok);
        showPollRange(!ok || minutes < kMinPollMinutes || minutes > kMaxPollMinutes);
    });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new QPushButton(teachInSheetText(kCancel), sheet);
    cancel->setObjectName(QStringLiteral("devicePrefsCancel"));
    cancel->setAutoDefault(false);
    auto* ok = new QPushButton(teachInSheetText(kOK), sheet);
    ok->setObjectName(QStringLiteral("devicePrefsOK"));
    ok->setDefault(true);
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, [this] { devicePrefs_OK(); });
    connect(cancel, &QPushButton::clicked, this, [this] { devicePrefs_Cancel(); });
    connect(sheet, &QDialog::rejected, this, [this] {
        userPathes_.clear();
        userPatheEnabled_.clear();
        phoneLanguage_.clear();
    });
    // The Tab chain: top to bottom, then the buttons.
    QWidget* chain[] = {devicePrefsAutomaticConnectionButton_, devicePrefsNoBackupDevice_, devicePrefsBackupManually_};
    QWidget* last = chain[0];
    for (QWidget* next : {static_cast<QWidget*>(devicePrefsNoBackupDevice_.data()),
                          static_cast<QWidget*>(devicePrefsBackupManually_.data())}) {
        QWidget::setTabOrder(last, next);
        last = next;
    }
    for (int tag = kFirstOrganizerTag; tag < kFirstOrganizerTag + kOrganizerTagCount; ++tag) {
        for (int offset : {0, kAudioTag - kFirstOrganizerTag}) {
            if (QAbstractButton* next = findTagButton(backupBox_, tag + offset)) {
                QWidget::setTabOrder(last, next);
                last = next;
            }
        }
    }
    for (QWidget* next : std::initializer_list<QWidget*>{languageButton, devicePrefsUserPathList_,
                                                         devicePrefsDoCheckSMS_, devicePrefsDoCheckEveryMinutes_,
                                                         devicePrefsDisplaySMSAlert_, devicePrefsAnimateDock_}) {
        QWidget::setTabOrder(last, next);
        last = next;
    }
    for (QAbstractButton* cell : deviceSMSSendWarn_->buttons()) {
        cell->setFocusPolicy(Qt::StrongFocus);
        QWidget::setTabOrder(last, cell);
        last = cell;
    }
    QWidget::setTabOrder(last, cancel);
    QWidget::setTabOrder(cancel, ok);
}

bool TeachInPrefsHandler::isAcceptableUserPath(const QString& path)
{
    return path.isEmpty() || QFileInfo(path).isDir();
}

void TeachInPrefsHandler::fillUserPathTable()
{
    if (!devicePrefsUserPathList_)
        return;
    updatingTable_ = true;
    const QStringList& keys = userFolderKeys();
    devicePrefsUserPathList_->setRowCount(numberOfRowsInTableView());
    for (int row = 0; row < numberOfRowsInTableView(); ++row) {
        auto* name = new QTableWidgetItem(tableObjectValue(QLatin1String(kColumnUserFolder), row).toString());
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        name->setData(Qt::UserRole, keys.at(row));
        devicePrefsUserPathList_->setItem(row, 0, name);
        const QString path = userPathes_.at(row);
        auto* pathItem = new QTableWidgetItem(path);
        pathItem->setForeground(isAcceptableUserPath(path) ? QBrush() : QBrush(Qt::red));
        devicePrefsUserPathList_->setItem(row, 1, pathItem);
        auto* enabled = new QTableWidgetItem;
        enabled->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        enabled->setCheckState(userPatheEnabled_.at(row) ? Qt::Checked : Qt::Unchecked);
        devicePrefsUserPathList_->setItem(row, 2, enabled);
    }
    updatingTable_ = false;
}

QVariant TeachInPrefsHandler::tableObjectValue(const QString& column, int row) const
{
    if (row < 0 || row >= numberOfRowsInTableView())
        return {};
    if (column == QLatin1String(kColumnUserFolder))
        return platform::localizedString(userFolderKeys().at(row));
    if (column == QLatin1String(kColumnPath))
        return userPathes_.at(row);
    if (column == QLatin1String(kColumnEnabled))
        return userPatheEnabled_.at(row);
    return {};
}

void TeachInPrefsHandler::tableSetObjectValue(const QVariant& value, const QString& column, int row)
{
    if (row < 0 || row >= numberOfRowsInTableView())
        return;
    if (column == QLatin1String(kColumnEnabled)) {
        userPatheEnabled_[row] = value.toBool();
    } else if (column == QLatin1String(kColumnPath)) {
        userPathes_[row] = value.toString().trimmed();
        if (devicePrefsUserPathList_ && devicePrefsUserPathList_->item(row, 1)) {
            updatingTable_ = true;
            devicePrefsUserPathList_->item(row, 1)->setForeground(
                isAcceptableUserPath(userPathes_.at(row)) ? QBrush() : QBrush(Qt::red));
            updatingTable_ = false;
        }
    }
}

void TeachInPrefsHandler::showPollRange(bool refused)
{
    if (!devicePrefsPollRange_)
        return;
    devicePrefsPollRange_->setStyleSheet(refused ? QStringLiteral("color: red;") : QString());
    if (refused && devicePrefsDoCheckEveryMinutes_)
        devicePrefsDoCheckEveryMinutes_->setText(oldPollInterval_.isValid() ? oldPollInterval_.toString() : QString());
}

QDialog* TeachInPrefsHandler::showDevicePrefs(MFDevice* device)
{
    mfDevice_ = device;
    if (!device || !device->devInfo())
        return nullptr;
    userPathes_.clear();
    userPatheEnabled_.clear();
    phoneLanguage_.clear();
    MFDeviceInfo* info = device->devInfo();
    devicePrefsAutomaticConnectionButton_->setChecked(info->objectForKey(QLatin1String(kAutoConnect)).toBool());
    const bool backups = device->backupRules().backupEnabled();
    devicePrefsNoBackupDevice_->setChecked(backups);
    devicePrefsBackupManually_->setChecked(!info->wantsBackupAutomatic());

    const QVariant language = info->objectForKey(QLatin1String(kNativeLanguage));
    devicePrefsTeachInLanguage_->setText(languageText(getDeviceLanguageError(), language));

    for (const QString& key : userFolderKeys()) {
        const QString path = device->phoneFolders().getUserFolderPath(key);
        userPathes_ << (path.isNull() ? QString() : path);
        userPatheEnabled_ << !userPathes_.last().isEmpty();
    }
    fillUserPathTable();

    if (backupBox_->isExpanded() != backups)
        backupBox_->setExpanded(backups, false);
    for (int type = 0; type < kOrganizerTagCount; ++type) {
        setTagButton_Enable(backupBox_, kFirstOrganizerTag + type, device->canProcessDB(type));
        setTagButton_State(backupBox_, kFirstOrganizerTag + type, device->wantsToBackupOrganizerType(type));
    }
    const char* probes[] = {"mp3", "jpg", "mov", kMapSuffix, kOtherSuffix};
    for (int i = 0; i < 5; ++i)
        setTagButton_State(backupBox_, kAudioTag + i,
                           !device->backupRules().isSuffixInExceptionLst(QLatin1String(probes[i])));

    const bool smsShown = device->canDoAnyOrganizerServices() && device->syncDescription()
        && device->syncDescription()->nonNilBOOLFromDescription(QLatin1String(kSyncSMS));
    if (smsBox_->isExpanded() != smsShown)
        smsBox_->setExpanded(smsShown, false);
    devicePrefsDoesNotSMS_->setVisible(!smsShown);
    devicePrefsDoCheckSMS_->setChecked(info->objectForKey(QLatin1String(kSMSDoPoll)).toBool());
    oldPollInterval_ = info->objectForKey(QLatin1String(kSMSPollInterval));
    devicePrefsDoCheckEveryMinutes_->setText(oldPollInterval_.isValid() ? oldPollInterval_.toString() : QString());
    showPollRange(false);
    devicePrefsDisplaySMSAlert_->setChecked(info->objectForKey(QLatin1String(kSMSShowInfoPanel)).toBool());
    devicePrefsAnimateDock_->setChecked(info->objectForKey(QLatin1String(kSMSDockNotify)).toBool());
    bool warnKnown = false;
    const int warn = info->objectForKey(QLatin1String(kSMSSendWarn)).toInt(&warnKnown);
    QAbstractButton* cell = warnKnown ? deviceSMSSendWarn_->button(warn) : nullptr;
    if (!cell)
        cell = deviceSMSSendWarn_->button(1);
    cell->setChecked(true);
    return devicePrefsPanelSheet_;
}

void TeachInPrefsHandler::devicePrefs_OK()
{
    if (!mfDevice_ || !mfDevice_->devInfo()) {
        devicePrefs_Cancel();
        return;
    }
    MFDeviceInfo* info = mfDevice_->devInfo();
    const QStringList& keys = userFolderKeys();
    for (int row = 0; row < keys.size() && row < userPathes_.size(); ++row) {
        const QString path = userPathes_.at(row);
        const bool enabled = row < userPatheEnabled_.size() && userPatheEnabled_.at(row);
        if (path.isEmpty() || !enabled)
            mfDevice_->phoneFolders().setUserFolderPath(keys.at(row), QString());
        else if (isAcceptableUserPath(path))
            mfDevice_->phoneFolders().setUserFolderPath(keys.at(row), path);
        // A path that is no folder is not stored: the old one stays.
    }
    info->setObject(devicePrefsAutomaticConnectionButton_->isChecked(), QLatin1String(kAutoConnect));
    info->setObject(devicePrefsNoBackupDevice_->isChecked(), QLatin1String(kBackupDevice));
    info->setObject(!devicePrefsBackupManually_->isChecked(), QLatin1String(kBackupAutomatic));
    userPathes_.clear();
    userPatheEnabled_.clear();
    phoneLanguage_.clear();
    updateBackUpExceptions(backupBox_);
    info->setObject(devicePrefsDoCheckSMS_->isChecked(), QLatin1String(kSMSDoPoll));
    bool ok = false;
    const int minutes = devicePrefsDoCheckEveryMinutes_->text().trimmed().toInt(&ok);
    if (ok && minutes >= kMinPollMinutes && minutes <= kMaxPollMinutes)
        info->setObject(qlonglong(minutes), QLatin1String(kSMSPollInterval));
    else
        showPollRange(true);
    info->setObject(devicePrefsDisplaySMSAlert_->isChecked(), QLatin1String(kSMSShowInfoPanel));
    info->setObject(devicePrefsAnimateDock_->isChecked(), QLatin1String(kSMSDockNotify));
    const int warn = deviceSMSSendWarn_->checkedId();
    info->setObject(qlonglong(warn < 0 ? 1 : warn), QLatin1String(kSMSSendWarn));
    info->writeSettingsIfNeeded();
    platform::UserDefaults::standard().synchronize();
    fillUserPathTable();
    devicePrefsPanelSheet_->done(1);
}

void TeachInPrefsHandler::devicePrefs_Cancel()
{
    userPathes_.clear();
    userPatheEnabled_.clear();
    phoneLanguage_.clear();
    fillUserPathTable();
    if (devicePrefsPanelSheet_)
        devicePrefsPanelSheet_->done(0);
}

void TeachInPrefsHandler::devicePrefs_Language()
{
    devicePrefsBusyIndicator_->setVisible(true);
    const QVariant language = mfDevice_ && mfDevice_->devInfo()
        ? mfDevice_->devInfo()->objectForKey(QLatin1String(kNativeLanguage))
        : QVariant();
    phoneLanguage_ = language.typeId() == QMetaType::QString ? language.toString() : QString();
    devicePrefsTeachInLanguage_->setText(languageText(getDeviceLanguageError(), language));
    devicePrefsBusyIndicator_->setVisible(false);
}
