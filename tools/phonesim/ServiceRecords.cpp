#include "ServiceRecords.h"

#include <QJsonDocument>
#include <QVariantList>

namespace phonesim {

namespace {
constexpr const char* kSerialPort = "0x1101";
constexpr const char* kDialup = "0x1103";
// The LG application port of "lg2" phones.
constexpr const char* kLgPort = "0x4C47";
constexpr const char* kIrMC = "0x1104";
constexpr const char* kObjectPush = "0x1105";
constexpr const char* kFileTransfer = "0x1106";
constexpr const char* kPCSuite = "00005005-0000-1000-8000-0002EE000001";
constexpr const char* kSyncML = "00000002-0000-1000-8000-0002EE000002";

QVariantMap service(const char* name, const char* uuid, int channel, bool obex = false)
{
    return {{QStringLiteral("name"), QString::fromLatin1(name)},
            {QStringLiteral("uuids"), QVariantList{QString::fromLatin1(uuid)}},
            {QStringLiteral("channel"), channel},
            {QStringLiteral("obex"), obex}};
}

struct Profile {
    const char* name;
    QList<QVariantMap> records;
};

const QList<Profile>& profiles()
{
    static const QList<Profile> all = {
        {"motorola",
         {service("Dial-up networking Gateway", kDialup, 1), service("Voice gateway", kSerialPort, 3),
          service("OBEX Object Push", kObjectPush, 8, true), service("OBEX File Transfer", kFileTransfer, 9, true)}},
        {"nokia",
         {service("Dial-Up Networking", kDialup, 1), service("Nokia PC Suite", kSerialPort, 15),
          service("COM 1", kSerialPort, 3), service("OBEX Object Push", kObjectPush, 9, true),
          service("OBEX File Transfer", kFileTransfer, 10, true), service("Nokia OBEX PC Suite Services", kPCSuite, 14, true),
          service("SyncML Client", kSyncML, 11, true)}},
        {"sonyericsson",
         {service("Serial Port", kSerialPort, 1), service("Dial-up Networking", kDialup, 2),
          service("IrMC Synchronization", kIrMC, 4, true), service("OBEX Object Push", kObjectPush, 6, true),
          service("OBEX File Transfer", kFileTransfer, 7, true), service("SyncML Client", kSyncML, 11, true)}},
        {"siemens",
         {service("Dial-up Networking", kDialup, 1), service("Serial Port", kSerialPort, 2),
          service("OBEX Object Push", kObjectPush, 3, true), service("IrMC Synchronization", kIrMC, 4, true)}},
        // The handset has no Dial-up Networking service: its AT commands go
        // over the Serial Port channel.
        {"gigaset", {service("Serial Port", kSerialPort, 1), service("OBEX File Transfer", kFileTransfer, 2, true)}},
        {"lg",
         {service("Dial-up Networking", kDialup, 1), service("Serial Port", kSerialPort, 2),
          service("LG Application Port", kLgPort, 3), service("OBEX Object Push", kObjectPush, 9, true),
          service("OBEX File Transfer", kFileTransfer, 10, true), service("SyncML Client", kSyncML, 11, true)}},
        {"samsung",
         {service("Dial-up Networking", kDialup, 1), service("Serial Port", kSerialPort, 2),
          service("OBEX Object Push", kObjectPush, 9, true), service("OBEX File Transfer", kFileTransfer, 10, true)}},
    };
    return all;
}
} // namespace

QList<QVariantMap> ServiceRecords::forProfile(const QString& profile)
{
    for (const Profile& p : profiles()) {
        // "lg2" and the like are variants of their family.
        if (profile.startsWith(QLatin1String(p.name), Qt::CaseInsensitive))
            return p.records;
    }
    return {};
}

QList<int> ServiceRecords::atChannels(const QString& profile)
{
    QList<int> channels;
    for (const QVariantMap& record : forProfile(profile)) {
        const QString uuid = record.value(QStringLiteral("uuids")).toList().value(0).toString();
        if (uuid == QLatin1String(kDialup) || uuid == QLatin1String(kSerialPort) || uuid == QLatin1String(kLgPort))
            channels.append(record.value(QStringLiteral("channel")).toInt());
    }
    return channels;
}

QList<int> ServiceRecords::obexChannels(const QString& profile)
{
    QList<int> channels;
    for (const QVariantMap& record : forProfile(profile)) {
        if (record.value(QStringLiteral("obex")).toBool())
            channels.append(record.value(QStringLiteral("channel")).toInt());
    }
    return channels;
}

QByteArray ServiceRecords::deviceFile(const QString& address, const QString& name, const QString& profile,
                                      const QString& socketPath)
{
    QVariantList records;
    for (const QVariantMap& record : forProfile(profile))
        records.append(record);
    QVariantMap channels;
    for (int channel : atChannels(profile))
        channels.insert(QString::number(channel), socketPath);
    for (int channel : obexChannels(profile))
        channels.insert(QString::number(channel), obexSocketPath(socketPath));
    const QVariantMap device{{QStringLiteral("address"), address},
                             {QStringLiteral("name"), name},
                             {QStringLiteral("paired"), true},
                             {QStringLiteral("records"), records},
                             {QStringLiteral("channels"), channels}};
    return QJsonDocument::fromVariant(QVariantMap{{QStringLiteral("devices"), QVariantList{device}}})
        .toJson(QJsonDocument::Indented);
}

} // namespace phonesim
