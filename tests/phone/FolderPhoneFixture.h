#pragma once

#include "InMemoryFileTransfer.h"
#include "VirtualTime.h"

#include "device/MFDeviceInfo.h"
#include "jobs/QVAction.h"
#include "links/PhoneCapabilitySource.h"
#include "links/QVDeviceCallback.h"
#include "phone/MFDevice.h"

#include <gtest/gtest.h>
#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

// The phone's file-transfer connection with a link type of the test's choice
// and a capability object: an answer, a failure, or no answer at all.
class CapableFileTransfer : public InMemoryFileTransfer, public PhoneCapabilitySource {
public:
    CapableFileTransfer(MFDevice& device, QString linkType)
        : InMemoryFileTransfer(device, {{"type", "USB-MassStorage"}, {"channel", 0}})
        , linkType(std::move(linkType))
    {
    }
    QString getConnectionType() const override { return linkType; }
    int getCapabilities(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        ++capabilityReads;
        if (silent) {
            held = callback;
            return 0;
        }
        callback->finishWithErrorInMainThread(capabilityStatus, capability);
        return 0;
    }
    void arrangeVolumes(const QString& internalPath, const QString& externalPath, const FTPFileList& root) override
    {
        arranged.append(QStringList{internalPath, externalPath, QString::number(root.size())});
        InMemoryFileTransfer::arrangeVolumes(internalPath, externalPath, root);
    }

    QString linkType;
    QByteArray capability;
    int capabilityStatus = 0;
    bool silent = false;
    int capabilityReads = 0;
    std::shared_ptr<QVDeviceCallback> held;
    QList<QStringList> arranged;
};

// Lists the phone's root: ends its callback with the entries, or never.
class ListingJob : public QVAction {
public:
    ListingJob(std::shared_ptr<QVDeviceCallback> callback, FTPFileList entries, bool hangs,
               std::function<void()> during = {})
        : callback(std::move(callback))
        , entries(std::move(entries))
        , hangs(hangs)
        , during(std::move(during))
    {
    }
    QString actionType() const override { return QStringLiteral("GenericPipe"); }
    int startAction() override
    {
        if (during)
            during();
        if (!hangs) {
            callback->finishWithResult(0, QVariant::fromValue(entries));
            endAction(0);
        }
        return 0;
    }
    std::shared_ptr<QVDeviceCallback> callback;
    FTPFileList entries;
    bool hangs;
    std::function<void()> during;
};

// A folder entry of the phone's root listing.
inline std::shared_ptr<FTPFile> rootFolder(const QString& name)
{
    return FTPFile::ftpFileWithAttributes({{FTPFile::kName, name}, {FTPFile::kFileTypeKey, 1}}, QStringLiteral("/"),
                                          nullptr);
}

inline const QString kAudio = QStringLiteral("mp3/m4a/aac");
inline const QString kPictures = QStringLiteral("jpg/png");
inline const QString kVideos = QStringLiteral("3gp/mp4");

class FolderPhoneFixture : public ::testing::Test {
protected:
    FolderPhoneFixture()
    {
        makers.massStorageFTP = [this](MFDevice& device, const QVariantMap&) {
            auto made = std::make_unique<CapableFileTransfer>(device, linkType);
            made->capability = capability;
            made->capabilityStatus = capabilityStatus;
            ftp = made.get();
            return made;
        };
        makers.directoryListing = [this](MFDevice&, const QString&, std::shared_ptr<QVDeviceCallback> callback) {
            ++listings;
            return std::make_shared<ListingJob>(std::move(callback), rootEntries, listingHangs, duringListing);
        };
        makers.mediaFormats = [](const QString& name) {
            if (name == QLatin1String("AllowedAudioInputFormats"))
                return kAudio;
            if (name == QLatin1String("AllowedPictureInputFormats"))
                return kPictures;
            if (name == QLatin1String("AllowedVideoFormats"))
                return kVideos;
            return QString();
        };
    }

    // A phone whose row holds the given values besides model and protocol.
    std::unique_ptr<MFDevice> make(QVariantMap extraRow, QVariantMap dict = {})
    {
        QVariantMap row{{"Dorvanti.Model", "K700"},
                        {"Dorvanti.Manufacturer", "Sony Ericsson"},
                        {"Dorvanti.SyncMLProtocol", "Protocol SonyEricsson"}};
        row.insert(extraRow);
        dict.insert("Common.SerialNo", "1234");
        deviceDict = std::make_shared<QVariantMap>(dict);
        return std::make_unique<MFDevice>(QLatin1String(MFDevice::kUSBMassStorage), deviceDict, row, nullptr, makers);
    }

    MFDevice::Makers makers;
    std::shared_ptr<QVariantMap> deviceDict;
    QString linkType = QStringLiteral("USB-MassStorage");
    QByteArray capability;
    int capabilityStatus = 0;
    FTPFileList rootEntries;
    bool listingHangs = false;
    std::function<void()> duringListing;
    int listings = 0;
    CapableFileTransfer* ftp = nullptr;
};
