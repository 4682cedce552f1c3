#include "app/DeviceInspector.h"

#include "app/QuorDZDevicesExtensions.h"

#include "device/qvDeviceDB.h"
#include "foundation/QuorNSDictionaryExtensions.h"
#include "platform/Localization.h"
#include "platform/Values.h"
#include "platform/gui/Interface.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

// A text of the device list or the general information: anything but a
// text shows empty.
QString inspectorText(const QVariantMap& map, const char* key)
{
    const QVariant value = map.value(QLatin1String(key));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QString rowText(const QVariantMap& row, const char* key)
{
    return quordz::textValue(row, QLatin1String(key));
}

void setField(QLineEdit* field, const QString& text)
{
    if (field) {
        field->setText(text);
        field->setCursorPosition(0);
    }
}

} // namespace

DeviceInspector::DeviceInspector(QWidget* parent) : QWidget(parent, Qt::Window)
{
    form_ = platform::gui::loadInterface(QLatin1String(platform::gui::kProgramBundle), QLatin1String(kWindowNibName),
                                         this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(form_);
    setWindowTitle(form_->windowTitle().isEmpty() ? tr("Inspector") : form_->windowTitle());
    setObjectName(QStringLiteral("deviceInspector"));
    using platform::gui::outlet;
    deviceName_ = outlet<QLineEdit>(form_, QStringLiteral("deviceName"));
    deviceBTAddress_ = outlet<QLineEdit>(form_, QStringLiteral("deviceBTAddress"));
    deviceModelVendor_ = outlet<QLineEdit>(form_, QStringLiteral("deviceModelVendor"));
    serialNumber_ = outlet<QLineEdit>(form_, QStringLiteral("serialNumber"));
    company_ = outlet<QLineEdit>(form_, QStringLiteral("company"));
    model_ = outlet<QLineEdit>(form_, QStringLiteral("model"));
    protocol_ = outlet<QLineEdit>(form_, QStringLiteral("protocol"));
    language_ = outlet<QLineEdit>(form_, QStringLiteral("language"));
    deviceIcon_ = outlet<QLabel>(form_, QStringLiteral("deviceIcon"));
    deviceDescription_ = outlet<QPlainTextEdit>(form_, QStringLiteral("deviceDescription"));
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void DeviceInspector::setDeviceDict(const std::optional<QVariantMap>& deviceDict,
                                    const std::optional<QVariantMap>& deviceDBEntry,
                                    const std::optional<QVariantMap>& generalDict)
{
    deviceDict_ = deviceDict;
    deviceDBEntry_ = deviceDBEntry;
    generalDict_ = generalDict;
}

QString DeviceInspector::usbIdentifiersText(int vendor, int model)
{
    return QStringLiteral("0x%1/0x%2")
        .arg(uint(vendor) & 0xffffu, 4, 16, QLatin1Char('0'))
        .arg(uint(model) & 0xffffu, 4, 16, QLatin1Char('0'));
}

QString DeviceInspector::descriptionText(const QVariantMap& entry, const QVariantMap& row,
                                         const std::optional<QVariantMap>& syncMLParams,
                                         const std::optional<QVariantMap>& generalDict)
{
    QString text = QStringLiteral("User settings:\n--------------\n%1\n\nDevice database:\n----------------\n%2")
                       .arg(formattedDescription(entry), formattedDescription(row));
    if (syncMLParams)
        text += QStringLiteral("\n\nSyncML settings:\n----------------\n%1\n\n").arg(formattedDescription(*syncMLParams));
    if (generalDict)
        text += QStringLiteral("General device capabilities:\n----------------------------\n%1")
                    .arg(formattedDescription(*generalDict));
    return text;
}

void DeviceInspector::windowDidLoad()
{
    if (!deviceDict_)
        return;
    const QVariantMap& entry = *deviceDict_;
    const QVariantMap row = deviceDBEntry_.value_or(QVariantMap());

    const QString name = inspectorText(entry, "Common.DeviceName");
    setField(deviceName_, name);
    if (!name.isEmpty())
        setWindowTitle(platform::localizedString(QLatin1String(kTitleKey)).replace(QLatin1String("%@"), name));
    if (entry.contains(QStringLiteral("BT.BT_Address")))
        setField(deviceBTAddress_, inspectorText(entry, "BT.BT_Address"));
    if (row.contains(QStringLiteral("Dorvanti.USB_Vendor")) && row.contains(QStringLiteral("Dorvanti.DT_USB_Model")))
        setField(deviceModelVendor_,
                 usbIdentifiersText(platform::values::toInt(row.value(QStringLiteral("Dorvanti.USB_Vendor"))),
                                    platform::values::toInt(row.value(QStringLiteral("Dorvanti.DT_USB_Model")))));
    setField(serialNumber_, inspectorText(entry, "Common.SerialNo"));
    if (entry.contains(QStringLiteral("BT.ServiceName")))
        setField(protocol_, inspectorText(entry, "BT.ServiceName"));
    QString language = inspectorText(entry, "Lang.NativeLanguage");
    if (language.isEmpty() && generalDict_)
        language = inspectorText(*generalDict_, "Language");
    setField(language_, language);

    if (quordz::debuggingOn()) {
        setField(company_, rowText(row, "Dorvanti.Manufacturer"));
        setField(model_, rowText(row, "Dorvanti.Model"));
        std::optional<QVariantMap> syncML;
        const QString protocolName = rowText(row, "Dorvanti.SyncMLProtocol");
        if (!protocolName.isEmpty()) {
            const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
            syncML = db ? db->getSyncMLParams(protocolName) : QVariantMap();
        }
        if (deviceDescription_)
            deviceDescription_->setPlainText(descriptionText(entry, row, syncML, generalDict_));
    }
    if (deviceIcon_) {
        const QImage picture = quordz::modelPicture(row);
        deviceIcon_->setPixmap(QPixmap::fromImage(
            picture.scaled(kPictureSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
}

DeviceInspector* DeviceInspector::showInspector(const QVariantMap& entry, const std::optional<QVariantMap>& generalDict,
                                                QWidget* parent)
{
    QVariantMap row;
    const QString identification = quordz::textValue(entry, QStringLiteral("Common.Identifier"));
    if (const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB()) {
        if (!identification.isEmpty())
            row = db->getDictForDevice(identification);
        if (row.isEmpty() && entry.contains(QStringLiteral("Common.qvDeviceID")))
            row = db->getDictForDeviceByID(entry.value(QStringLiteral("Common.qvDeviceID")));
    }
    auto* inspector = new DeviceInspector(parent);
    inspector->setAttribute(Qt::WA_DeleteOnClose);
    inspector->setDeviceDict(entry, row, generalDict);
    inspector->windowDidLoad();
    inspector->show();
    inspector->raise();
    return inspector;
}
