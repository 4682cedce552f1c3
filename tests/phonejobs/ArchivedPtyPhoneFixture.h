#pragma once

#include "PhoneJobsTestSupport.h"

#include "phone/DZDataManager.h"
#include "phone/FilesMirror.h"
#include "phone/OrganizerArchive.h"
#include "phonejobs/FileJobMakers.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace phonejobs_test {

// A phonesim phone on a pseudo-terminal with the program's data manager,
// files mirror and organizer archive: the organizer jobs' whole road.
class ArchivedPtyPhoneFixture : public PtyPhoneFixture {
protected:
    void TearDown() override
    {
        archive.reset();
        mirror.reset();
        PtyPhoneFixture::TearDown();
    }
    // The phone of the profile, described by its model row's protocols.
    void openArchived(const char* profile, const char* deviceProtocol, const char* smsFamily, const char* syncProtocol)
    {
        archive.reset();
        mirror.reset();
        device.reset();
        attachPhone(profile);
        auto dict = std::make_shared<QVariantMap>(QVariantMap{{"USB.VendorID", kVendor},
                                                              {"USB.ProductID", kProduct},
                                                              {"Common.SerialNo", kSerial},
                                                              {"USB.PortName", sim->slavePath()}});
        const QVariantMap row{{"Dorvanti.DeviceProtocol", deviceProtocol},
                              {"Dorvanti.Identification", deviceProtocol},
                              {"Dorvanti.Manufacturer", "Phone Maker"},
                              {"Dorvanti.SMSProtocol", smsFamily},
                              {"Dorvanti.SyncMLProtocol", syncProtocol}};
        MFDevice::Makers makers;
        makers.dataManager = [](MFDevice& d) { return std::make_unique<DZDataManager>(d, filejobs::makers()); };
        device = std::make_unique<MFDevice>(QString::fromLatin1(MFDevice::kUSBSerial), dict, row, nullptr, makers);
        mirror = FilesMirror::mirrorWithDevice(*device, dir.path() + QStringLiteral("/phone.dzmir"));
        ASSERT_TRUE(mirror);
        archive = OrganizerArchive::archiveWithDevice(*device);
        ASSERT_TRUE(archive);
    }

    QTemporaryDir dir;
    std::unique_ptr<FilesMirror> mirror;
    std::unique_ptr<OrganizerArchive> archive;
};

} // namespace phonejobs_test
