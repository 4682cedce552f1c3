#pragma once

#include "../jobs/JobsTestSupport.h"
#include "../links/BluetoothPhoneFixture.h"
#include "../links/UsbPhoneFixture.h"

#include "links/DZDeviceConnection.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"
#include "phone/MFDevice.h"
#include "phonejobs/ActionRequestService.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

namespace phonejobs_test {

using jobs_test::RecordingNotify;

inline double now()
{
    return platform::Clock::instance().now();
}

// A service job that works for as long as the test wants: it ends when
// finished (at once when finishAtStart), and suspends itself when asked
// while suspendable.
class ServiceJob : public ActionRequestService {
public:
    ServiceJob(const QString& service, std::shared_ptr<QVActionNotify> notify, bool finishAtStart = true)
        : ActionRequestService(service, std::move(notify), QVariant())
        , finishAtStart(finishAtStart)
    {
    }
    int startAction() override
    {
        const int result = ActionRequestService::startAction();
        if (result != 0)
            return result;
        ++starts;
        startedAt = now();
        if (finishAtStart)
            deviceCallback()->finishSuccessfullyInMainThread(QVariant());
        return 0;
    }
    bool doSuspendAction() override
    {
        if (!suspendable)
            return false;
        endAction(jobcodes::kSuspended);
        return true;
    }
    void finish(int status = 0) { deviceCallback()->finishWithResult(status, QVariant()); }

    bool finishAtStart;
    bool suspendable = false;
    int starts = 0;
    double startedAt = -1;
};

// A connection of a slot that phonesim does not serve: it registers its
// service, opens and closes as told and notes when.
class StandInConnection : public DZDeviceConnection {
public:
    StandInConnection(MFDevice& device, const QString& name, const QVariantMap& specification)
        : DZDeviceConnection(&device, nullptr, device.devInfo())
    {
        device.registerConnection(name, specification);
    }
    int openConnection(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        ++opens;
        openedAt = now();
        if (openResult != 0)
            return openResult;
        if (holdOpen) {
            _isInProgress = true;
            heldOpen = callback;
            return 0;
        }
        return DZDeviceConnection::openConnection(callback);
    }
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        ++closes;
        closedAt = now();
        return DZDeviceConnection::closeConnection(callback);
    }
    void finishHeldOpen(int status)
    {
        _isInProgress = false;
        _isOpen = status == 0;
        std::exchange(heldOpen, nullptr)->finishWithResult(status, QVariant());
    }
    // Open and, while inProgress, still busy opening (a second channel of the link).
    void setState(bool open, bool inProgress)
    {
        _isOpen = open;
        _isInProgress = inProgress;
    }

    int openResult = 0;
    bool holdOpen = false;
    int opens = 0;
    int closes = 0;
    double openedAt = -1;
    double closedAt = -1;
    std::shared_ptr<QVDeviceCallback> heldOpen;
};

// A Bluetooth phone whose "Push" and "SyncML/IrMC" connections are stand-ins
// on the channel of its AT connection, so all three share one pipe.
class StandInPhoneFixture : public BluetoothPhoneFixture {
protected:
    void SetUp() override
    {
        BluetoothPhoneFixture::SetUp();
        using platform::BluetoothUuid;
        using platform::SdpServiceRecord;
        stack->addDevice(address(), QStringLiteral("Phone"), true,
                         {SdpServiceRecord::make({BluetoothUuid::uuid16(0x1103)}, QString(), 1),
                          SdpServiceRecord::make({BluetoothUuid::uuid16(0x1105)}, QString(), 1)},
                         true);
        MFDevice::Makers makers;
        const auto standIn = [](const char* name) {
            return [name](MFDevice& device, const QVariantMap&) {
                return std::make_unique<StandInConnection>(
                    device, QString::fromLatin1(name), QVariantMap{{"type", "Bluetooth"}, {"channel", 1}});
            };
        };
        makers.objectPush = standIn(MFDevice::kServicePush);
        makers.syncML = standIn(MFDevice::kServiceSyncML);
        const QVariantMap row{{"Dorvanti.Model", "KG800"},
                              {"Dorvanti.Manufacturer", "Nokia"},
                              {"Dorvanti.SyncMLProtocol", "UNKNOWN"}};
        device = std::make_unique<MFDevice>(QString::fromLatin1(MFDevice::kBluetooth),
                                            std::make_shared<QVariantMap>(connectionDict()), row, nullptr, makers);
        push = dynamic_cast<StandInConnection*>(device->objectPushConnection());
        syncML = dynamic_cast<StandInConnection*>(device->syncMLConnection());
        ASSERT_TRUE(push && syncML);
        ASSERT_EQ(device->actionMachine()->pipeForAction("Push"), device->actionMachine()->pipeForAction("SyncML/IrMC"));
    }
    void TearDown() override
    {
        device.reset();
        BluetoothPhoneFixture::TearDown();
    }

    std::shared_ptr<ServiceJob> post(const char* service, bool finishAtStart = true)
    {
        auto job = std::make_shared<ServiceJob>(QString::fromLatin1(service), requester, finishAtStart);
        EXPECT_TRUE(device->addAction(job));
        return job;
    }

    std::shared_ptr<RecordingNotify> requester = std::make_shared<RecordingNotify>();
    std::unique_ptr<MFDevice> device;
    StandInConnection* push = nullptr;
    StandInConnection* syncML = nullptr;
};

// A phone on a pseudo-terminal behind the simulated USB registry, in virtual
// time: each pass of a wait lets the phone's answers in for a moment of real time.
class PtyPhoneFixture : public UsbPhoneFixture {
protected:
    void SetUp() override
    {
        UsbPhoneFixture::SetUp();
        platform::Clock::instance().setVirtual(true);
    }
    void TearDown() override
    {
        for (const auto& entry : followed)
            entry->stopFeedBackNotification(this);
        followed.clear();
        device.reset();
        UsbPhoneFixture::TearDown();
    }

    // Hears an entry's reports until the test ends.
    void follow(const std::shared_ptr<QVFeedBack>& entry, QVFeedBack::FeedBackHandler handler)
    {
        entry->addFeedBackNotification(this, std::move(handler));
        followed.push_back(entry);
    }

    // The device of the phone of profile, with the model's AT dialect.
    void connect(const char* profile, const char* protocol, const char* syncProtocol = "Protocol Series 40")
    {
        device.reset();
        attachPhone(profile);
        auto dict = std::make_shared<QVariantMap>(QVariantMap{
            {"USB.VendorID", kVendor}, {"USB.ProductID", kProduct}, {"Common.SerialNo", kSerial}});
        const QVariantMap row{{"Dorvanti.DeviceProtocol", protocol},
                              {"Dorvanti.Identification", protocol},
                              {"Dorvanti.Manufacturer", "Phone Maker"},
                              {"Dorvanti.SyncMLProtocol", syncProtocol}};
        device = std::make_unique<MFDevice>(QString::fromLatin1(MFDevice::kUSBSerial), dict, row, nullptr,
                                            MFDevice::Makers());
    }

    static bool runUntil(const std::function<bool()>& predicate, double seconds = 30.0)
    {
        return testing_support::runUntil(predicate, seconds, 0.05);
    }

    testing_support::OutsideInputScope outside{0.01};
    std::unique_ptr<MFDevice> device;
    std::vector<std::shared_ptr<QVFeedBack>> followed;
};

} // namespace phonejobs_test
