#pragma once

// A phone with its data manager, files mirror and organizer archive, and the
// contacts pane set up on it inside a recording container.
#include "ContactTestSupport.h"
#include "TestEnvironment.h"
#include "VirtualTime.h"

#include "organizer/contacts/OrganizerContactsView.h"
#include "organizer/tables/OrganizerViewProtocol.h"
#include "phone/DZDataManager.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phone/SyncEnvironmentRules.h"
#include "platform/gui/Animation.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVVCardElem.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace contactsviewtest {

inline QString personCard(const QString& last, const QString& first, const QString& extra = QString())
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:%1;%2\r\n%3TEL;CELL:+4917055501%4\r\nEND:VCARD\r\n")
        .arg(last, first, extra)
        .arg(qHash(last + first) % 90 + 10);
}

inline QString pngBase64(int size)
{
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(png.toBase64());
}

class RecordingOrganizer : public OrganizerViewProtocol {
public:
    void setFooterText(const QString& text) override { footer = text; }
    bool isActiveView(const QWidget*) override { return true; }
    void reloadData() override { ++reloads; }
    bool isSyncEnabledForProperty(int) override { return false; }
    void hideUpdateInfo() override {}
    void displayUpdateInfo(const QPoint&, const QString&) override {}
    void smsHandleSMS(const QVariantMap& info) override { sms << info; }
    QString footer;
    int reloads = 0;
    QList<QVariantMap> sms;
};

// The pane with its alerts recorded instead of shown.
class RecordingContactsView : public OrganizerContactsView {
public:
    void displayErrorText(int kind, const QString& title, const QString& text) override
    {
        alerts << QStringLiteral("%1|%2|%3").arg(kind).arg(title, text);
    }
    QStringList alerts;
};

// The phone keeps contacts in step with the desktop sync engine and takes no
// changes from the phone's side.
class EngineKeptRules : public SyncEnvironmentRules {
public:
    bool setupSyncEvironment() override { return false; }
    bool wantsToUseSyncEngineAtAll() const override { return true; }
    bool wantsToUseSyncEngineForProperty(int type) const override { return type == 0; }
    bool wantsSyncChangesFromDevice(int) const override { return false; }
    bool wasDatabaseSynced(int) const override { return false; }
    bool wantsToBackupOrganizerType(int) const override { return false; }
    void syncEngineDeviceActive(const QVariantMap&) override {}
};

struct UpdateRequest {
    int type;
    int priority;
    bool slow;
};

class ContactsViewFixture : public contacttest::ContactTest {
protected:
    void SetUp() override
    {
        ContactTest::SetUp();
        platform::gui::setBeepHandler([this] { ++beeps; });
        jobs.organizerJob = [this](DZDataManager&, int type, int priority, bool slow, DZFileJobMakers::Notify) {
            requests.push_back({type, priority, slow});
            return DZDataManager::Job();
        };
        openPhone(QString::fromLatin1(MFDevice::kUSBSerial));
    }
    void TearDown() override
    {
        closePhone();
        platform::gui::setBeepHandler({});
        ContactTest::TearDown();
    }
    void openPhone(const QString& connType)
    {
        closePhone();
        MFDevice::Makers makers;
        makers.dataManager = [this](MFDevice& d) { return std::make_unique<DZDataManager>(d, jobs); };
        if (engineKept)
            makers.syncEnvironment = [](MFDevice&) { return std::make_unique<EngineKeptRules>(); };
        auto dict = std::make_shared<QVariantMap>(
            QVariantMap{{"Common.SerialNo", QStringLiteral("35-%1").arg(++s_serial)},
                        {"Common.DeviceName", "Anna's KU990"}});
        const QVariantMap row{{"Dorvanti.Model", "KU990"},
                              {"Dorvanti.Manufacturer", "LG"},
                              {"Dorvanti.DeviceProtocol", "lg"},
                              {"Dorvanti.Identification", "lg"}};
        device = std::make_unique<MFDevice>(connType, dict, row, nullptr, makers);
        mirror = FilesMirror::mirrorWithDevice(*device, dir.path() + QStringLiteral("/phone-%1.dzmir").arg(s_serial));
        ASSERT_TRUE(mirror);
        archive = OrganizerArchive::archiveWithDevice(*device);
        ASSERT_TRUE(archive);
        if (!archive->storage(0))
            archive->createEmptyStorage(0);
        pane = new RecordingContactsView;
        pane->resize(900, 600);
        pane->awakeFromNib();
        pane->setup(nullptr, device.get(), &organizer);
        pane->activate();
    }
    void closePhone()
    {
        delete pane;
        pane = nullptr;
        archive.reset();
        mirror.reset();
        device.reset();
    }
    QVSyncElemList* list() const { return archive->storage(0); }
    void add(const QString& text)
    {
        list()->addVXDataItem(QString(), text, QString());
        pane->updateContent();
    }
    // Row of the contact whose name (as the list shows it) begins with name.
    int rowOf(const QString& name) const
    {
        for (int row = 0; row < list()->count_cs(); ++row)
            if (pane->elemDescription(row).startsWith(name))
                return row;
        return -1;
    }
    QStringList shownNames() const
    {
        QStringList names;
        for (int row = 0; row < list()->count_cs(); ++row)
            names << pane->elemDescription(row).section(QLatin1Char('\r'), 0, 0);
        return names;
    }
    void select(const QList<int>& rows) { pane->itemsView()->selectRowIndexes(rows, false); }

    QTemporaryDir dir;
    DZFileJobMakers jobs;
    std::vector<UpdateRequest> requests;
    std::unique_ptr<MFDevice> device;
    std::unique_ptr<FilesMirror> mirror;
    std::unique_ptr<OrganizerArchive> archive;
    RecordingOrganizer organizer;
    RecordingContactsView* pane = nullptr;
    int beeps = 0;
    bool engineKept = false;
    static inline int s_serial = 0;
};

} // namespace contactsviewtest
