#include "app/CompatibleDevices.h"

#include "app/QuorDZDevicesExtensions.h"

#include "device/QVSyncDeviceDescription.h"
#include "device/SyncDescriptionServer.h"
#include "device/qvDeviceDB.h"
#include "platform/Bundle.h"
#include "platform/FileIO.h"
#include "platform/Localization.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "widgets/ImageAndTextCell.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QPointer<CompatibleDevices> gCompatibleWindow;
constexpr int kRowHeight = 54;
constexpr int kMaxFileNameLength = 100;

QString compatText(const char* key)
{
    return platform::localizedString(QLatin1String(key));
}

// The marks draw white in a selected row and black otherwise.
class CompatibleMarkCell : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->displayAlignment = Qt::AlignCenter;
        option->palette.setColor(QPalette::Text, Qt::black);
        option->palette.setColor(QPalette::HighlightedText, Qt::white);
    }
};

QByteArray jpegData(const QImage& image, int quality)
{
    // JPEG has no transparency: the picture lies on white.
    QImage flat(image.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    painter.end();
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    flat.save(&buffer, "JPEG", quality);
    return data;
}

QString relativeUrl(const QString& folder, const QString& file)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(folder) + '/' + QUrl::toPercentEncoding(file));
}

} // namespace

// ---- CompatibleDevicesModel -----------------------------------------------

CompatibleDevicesModel::CompatibleDevicesModel(QVariantList rows, QObject* parent)
    : QAbstractTableModel(parent), rows_(std::move(rows))
{
    const QString usb = compatText("CompatibleMark_SUPPORTUSB");
    const QString read = compatText("CompatibleMark_SMS_READ");
    const QString send = compatText("CompatibleMark_SMS_SEND");
    for (const QVariant& value : rows_) {
        const QVariantMap row = value.toMap();
        usbMarks_ << (quordz::supportsUSB(row) ? usb : QString());
        const bool canRead = quordz::supportsSMSRead(row);
        const bool canSend = quordz::supportsSMSSend(row);
        if (canRead && canSend)
            smsMarks_ << QStringLiteral("%1 %2").arg(read, send);
        else if (canSend)
            smsMarks_ << send;
        else if (canRead)
            smsMarks_ << read;
        else
            smsMarks_ << QString();
    }
}

int CompatibleDevicesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int CompatibleDevicesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString CompatibleDevicesModel::columnIdentifier(int column)
{
    switch (column) {
    case Manufacturer:
        return QStringLiteral("manufacturer");
    case Model:
        return QStringLiteral("model");
    case USB:
        return QStringLiteral("USB");
    case FullSMS:
        return QStringLiteral("fullSMS");
    default:
        return {};
    }
}

QString CompatibleDevicesModel::objectValue(const QString& column, int row) const
{
    if (row < 0 || row >= rows_.size())
        return {};
    const QVariantMap entry = rows_.at(row).toMap();
    if (column == QLatin1String("manufacturer"))
        return quordz::textValue(entry, QStringLiteral("Dorvanti.Manufacturer"));
    if (column == QLatin1String("model"))
        return quordz::textValue(entry, QStringLiteral("Dorvanti.Model"));
    if (column == QLatin1String("USB"))
        return usbMarks_.at(row);
    if (column == QLatin1String("fullSMS"))
        return smsMarks_.at(row);
    return {};
}

QVariant CompatibleDevicesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return objectValue(columnIdentifier(index.column()), index.row());
    if (role == Qt::DecorationRole && index.column() == Manufacturer) {
        // Scaled when first shown, then kept: opening the list scales
        // nothing that is not on screen.
        const QVariantMap row = rows_.at(index.row()).toMap();
        const QString key = quordz::pictureIdentification(row);
        auto found = pictures_.constFind(key);
        if (found == pictures_.constEnd())
            found = pictures_.insert(key, quordz::modelPicture(row).scaled(kPictureSize, Qt::KeepAspectRatio,
                                                                             Qt::SmoothTransformation));
        return *found;
    }
    if (role == Qt::SizeHintRole && index.column() == Manufacturer)
        return QSize(180, kRowHeight);
    return {};
}

QVariant CompatibleDevicesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Manufacturer:
        return compatText("CompatibleColumn_manufacturer");
    case Model:
        return compatText("CompatibleColumn_model");
    case USB:
        return compatText("CompatibleColumn_USB");
    case FullSMS:
        return compatText("CompatibleColumn_fullSMS");
    default:
        return {};
    }
}

// ---- CompatibleDevices ----------------------------------------------------

CompatibleDevices::CompatibleDevices(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("compatibleDevices"));
    allDevices_ = allDevices();
    form_ = platform::gui::loadInterface(QLatin1String(platform::gui::kProgramBundle), QLatin1String(kWindowNibName),
                                         this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(form_);
    setWindowTitle(form_->windowTitle());
    // Wide enough for every column, tall enough for a few rows.
    resize(kInitialSize);
    using platform::gui::outlet;
    headline_ = outlet<QLabel>(form_, QStringLiteral("headline"));
    footer_ = outlet<QLabel>(form_, QStringLiteral("footer"));
    list_ = outlet<QTableView>(form_, QStringLiteral("list"));
    headerTmpl_ = outlet<QPlainTextEdit>(form_, QStringLiteral("headerTmpl"));
    entryTmpl_ = outlet<QPlainTextEdit>(form_, QStringLiteral("entryTmpl"));
    if (headerTmpl_)
        headerTmpl_->hide();
    if (entryTmpl_)
        entryTmpl_->hide();

    model_ = new CompatibleDevicesModel(allDevices_, this);
    sorted_ = new QSortFilterProxyModel(this);
    sorted_->setSourceModel(model_);
    sorted_->setSortCaseSensitivity(Qt::CaseInsensitive);
    if (list_) {
        list_->setModel(sorted_);
        list_->setItemDelegateForColumn(CompatibleDevicesModel::Manufacturer, new ImageAndTextCell(list_));
        list_->setItemDelegateForColumn(CompatibleDevicesModel::USB, new CompatibleMarkCell(list_));
        list_->setItemDelegateForColumn(CompatibleDevicesModel::FullSMS, new CompatibleMarkCell(list_));
        list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        list_->verticalHeader()->setDefaultSectionSize(kRowHeight);
        list_->verticalHeader()->hide();
        list_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        list_->horizontalHeader()->setStretchLastSection(true);
        list_->setColumnWidth(CompatibleDevicesModel::Manufacturer, 200);
        list_->setColumnWidth(CompatibleDevicesModel::Model, 170);
        list_->setColumnWidth(CompatibleDevicesModel::USB, 70);
        list_->setSortingEnabled(true);
        list_->sortByColumn(-1, Qt::AscendingOrder); // the database's order until a column is chosen
        list_->setSelectionBehavior(QAbstractItemView::SelectRows);
        list_->setSelectionMode(QAbstractItemView::SingleSelection);
        list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list_->setTabKeyNavigation(false);
    }
    auto* save = new QAction(this);
    save->setObjectName(QStringLiteral("saveDocumentAs"));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(save, &QAction::triggered, this, &CompatibleDevices::saveDocumentAs);
    addAction(save);
    if (auto* button = form_->findChild<QPushButton*>(QStringLiteral("saveButton")))
        connect(button, &QPushButton::clicked, this, &CompatibleDevices::saveDocumentAs);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    windowDidLoad();
}

CompatibleDevices* CompatibleDevices::showCompatibleDevices()
{
    if (!gCompatibleWindow) {
        gCompatibleWindow = new CompatibleDevices;
        gCompatibleWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    gCompatibleWindow->show();
    gCompatibleWindow->raise();
    gCompatibleWindow->activateWindow();
    return gCompatibleWindow;
}

QVariantList CompatibleDevices::allDevices()
{
    QVariantList rows;
    if (const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB())
        rows = db->getAllDevicesMarvestoLG();
    std::stable_sort(rows.begin(), rows.end(), [](const QVariant& a, const QVariant& b) {
        return quordz::devNameComparisation(a.toMap(), b.toMap()) < 0;
    });
    return rows;
}

void CompatibleDevices::windowDidLoad()
{
    if (headline_)
        headline_->setText(compatText("%d devices").replace(QLatin1String("%d"), QString::number(allDevices_.size())));
    if (footer_)
        footer_->setText(compatText("Marvesto version %@").replace(QLatin1String("%@"),
                                                                   platform::bundle::applicationVersion()));
    if (quordz::debuggingOn())
        dumpData();
}

QString CompatibleDevices::headerTemplate() const
{
    return headerTmpl_ ? headerTmpl_->toPlainText() : QString();
}

QString CompatibleDevices::entryTemplate() const
{
    return entryTmpl_ ? entryTmpl_->toPlainText() : QString();
}

void CompatibleDevices::saveDocumentAs()
{
    auto* dialog = new QFileDialog(this, compatText("CompatibleSaveTitle"), platform::paths::homeDirectory());
    dialog->setObjectName(QStringLiteral("compatibleSavePanel"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilter(QStringLiteral("HTML (*.html)"));
    dialog->setDefaultSuffix(QStringLiteral("html"));
    dialog->selectFile(QLatin1String(kSaveName) + QStringLiteral(".html"));
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& file) { exportHTML(file); });
    dialog->open();
}

QString CompatibleDevices::argumentString(const QString& templ, int argNum, const QString& replaceStr)
{
    QString result = templ;
    return result.replace(QStringLiteral("(ARG%1)").arg(argNum), replaceStr);
}

QString CompatibleDevices::fillArguments(const QString& templ, const QStringList& values)
{
    static const QRegularExpression argument(QStringLiteral("\\(ARG(\\d+)\\)"));
    QString result;
    qsizetype last = 0;
    for (QRegularExpressionMatchIterator it = argument.globalMatch(templ); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        bool ok = false;
        const int number = match.captured(1).toInt(&ok);
        if (!ok || number >= values.size())
            continue;
        result += templ.mid(last, match.capturedStart() - last);
        result += values.at(number);
        last = match.capturedEnd();
    }
    result += templ.mid(last);
    return result;
}

QString CompatibleDevices::htmlEscaped(const QString& text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QLatin1String("&#39;"));
}

QString CompatibleDevices::sanitizedFileName(const QString& name)
{
    QString result;
    for (QChar c : name) {
        const bool keep = (c.unicode() < 128 && c.isLetterOrNumber()) || c == QLatin1Char('.') || c == QLatin1Char('_')
            || c == QLatin1Char('+') || c == QLatin1Char('-');
        result += keep ? c : QLatin1Char('_');
    }
    while (result.startsWith(QLatin1Char('.')))
        result[0] = QLatin1Char('_');
    result.truncate(kMaxFileNameLength);
    return result.isEmpty() ? QStringLiteral("_") : result;
}

bool CompatibleDevices::exportHTML(const QString& path, QString* error)
{
    const QFileInfo page(path);
    const QString folderName = QString::fromLatin1(kFilesFolder).replace(QLatin1String("%@"), page.completeBaseName());
    const QString folderPath = page.absoluteDir().filePath(folderName);
    QString failure;
    auto fail = [&](const QString& why) {
        failure = why;
        return false;
    };
    auto writeAll = [&]() -> bool {
        if (!QDir().mkpath(folderPath))
            return fail(QStringLiteral("cannot create %1").arg(folderPath));
        const QString iconFile = QLatin1String(kAppIconFile);
        const QImage appIcon = platform::gui::image(QLatin1String(platform::gui::kProgramBundle),
                                                    QStringLiteral("NSApplicationIcon"))
                                   .scaled(QSize(128, 128), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (!platform::writeFileAtomically(QDir(folderPath).filePath(iconFile), jpegData(appIcon, kJpegQuality), &failure))
            return false;
        QString entries;
        QHash<QString, QString> usedNames; // file name -> identification
        QHash<QString, QString> fileOf;    // identification -> file name
        const QString entryTemplate = this->entryTemplate();
        for (const QVariant& value : allDevices_) {
            const QVariantMap row = value.toMap();
            const QString identification = quordz::pictureIdentification(row);
            QString file = fileOf.value(identification);
            if (file.isEmpty()) {
                const QString base = sanitizedFileName(identification);
                file = base + QStringLiteral(".jpg");
                for (int n = 2; file == iconFile || usedNames.contains(file); ++n)
                    file = QStringLiteral("%1-%2.jpg").arg(base).arg(n);
                usedNames.insert(file, identification);
                fileOf.insert(identification, file);
                const QImage picture = quordz::modelPicture(row);
                if (!platform::writeFileAtomically(QDir(folderPath).filePath(file), jpegData(picture, kJpegQuality),
                                                   &failure))
                    return false;
            }
            entries += fillArguments(entryTemplate,
                                     {htmlEscaped(relativeUrl(folderName, file)),
                                      htmlEscaped(quordz::textValue(row, QStringLiteral("Dorvanti.Manufacturer"))),
                                      htmlEscaped(quordz::textValue(row, QStringLiteral("Dorvanti.Model"))),
                                      quordz::supportsUSB(row) ? QStringLiteral("X") : QString(),
                                      htmlEscaped(quordz::smsExportMark(row))});
        }
        const QString html = fillArguments(headerTemplate(), {htmlEscaped(relativeUrl(folderName, iconFile)),
                                                              htmlEscaped(platform::bundle::applicationVersion()),
                                                              entries});
        // Written beside and renamed: a failed write leaves the old page.
        return platform::writeFileAtomically(page.absoluteFilePath(), html.toUtf8(), &failure);
    };
    if (writeAll())
        return true;
    if (error)
        *error = failure;
    if (!failureMessage_) {
        failureMessage_ = new QMessageBox(QMessageBox::Warning, windowTitle(), QString(), QMessageBox::Ok, this);
        failureMessage_->setObjectName(QStringLiteral("compatibleSaveFailure"));
        failureMessage_->setAttribute(Qt::WA_DeleteOnClose);
        failureMessage_->setWindowModality(Qt::WindowModal);
    }
    failureMessage_->setText(compatText("The list could not be saved to %@.").replace(QLatin1String("%@"), path));
    failureMessage_->setInformativeText(failure);
    failureMessage_->open();
    return false;
}

QString CompatibleDevices::dumpPath()
{
    return QDir(platform::paths::homeDirectory()).filePath(QLatin1String(kDumpFile));
}

void CompatibleDevices::dumpData()
{
    saveToFile(dumpPath());
}

bool CompatibleDevices::saveToFile(const QString& path) const
{
    QVariantList list;
    for (const QVariant& value : allDevices_) {
        const QVariantMap row = value.toMap();
        QVariantMap entry;
        entry.insert(QStringLiteral("Company"), quordz::textValue(row, QStringLiteral("Dorvanti.Manufacturer")));
        entry.insert(QStringLiteral("Model"), quordz::textValue(row, QStringLiteral("Dorvanti.Model")));
        entry.insert(QStringLiteral("Approved"), quordz::textValue(row, QStringLiteral("Dorvanti.Approved")));
        entry.insert(QStringLiteral("WebNotes"), quordz::textValue(row, QStringLiteral("Dorvanti.WebNotes")));
        entry.insert(QStringLiteral("USB"), quordz::supportsUSB(row));
        entry.insert(QStringLiteral("SMSSend"), quordz::supportsSMSSend(row));
        entry.insert(QStringLiteral("SMSRead"), quordz::supportsSMSRead(row));
        QString notes;
        QString bookmarks;
        const QString protocol = quordz::textValue(row, QStringLiteral("Dorvanti.SyncMLProtocol"));
        if (const std::shared_ptr<QVSyncDeviceDescription> description =
                protocol.isEmpty() ? nullptr
                                   : SyncDescriptionServer::sharedSyncDescriptionServer().syncDeviceFromProtocol(protocol)) {
            notes = description->objectForKey(QStringLiteral("SyncML.syncNotes")).toString();
            bookmarks = description->objectForKey(QStringLiteral("SyncML.syncBookmarks")).toString();
        }
        entry.insert(QStringLiteral("Notes"), notes);
        entry.insert(QStringLiteral("Bookmarks"), bookmarks);
        list.append(entry);
    }
    return platform::plist::writeFile(path, list);
}
