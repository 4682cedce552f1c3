#include "BluetoothPhoneFixture.h"

#include "IdentificationScripts.h"
#include "links/CommonAsyncDeviceIdentifier.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

// An outside check of the identification: gammu (a phone tool of its own)
// and the identifier read the same simulated phone, each through its own
// link (gammu on the pseudo-terminal, the identifier over Bluetooth).
namespace {

struct Reading {
    QString maker, model, imei, revision;
};

// gammu's reading: "Manufacturer", the raw model in the parentheses of
// "Model", "IMEI" and "Firmware".
std::optional<Reading> gammuIdentify(const QString& program, const QString& tty)
{
    QTemporaryDir folder;
    const QString config = folder.filePath(QStringLiteral("gammurc"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return std::nullopt;
    file.write("[gammu]\ndevice = " + tty.toLocal8Bit() + "\nconnection = at\n");
    file.close();
    QProcess gammu;
    gammu.start(program, {QStringLiteral("-c"), config, QStringLiteral("identify")});
    if (!gammu.waitForFinished(30000))
        return std::nullopt;
    Reading reading;
    for (const QString& line : QString::fromLocal8Bit(gammu.readAllStandardOutput()).split(u'\n')) {
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0)
            continue;
        const QString key = line.left(colon).trimmed();
        const QString value = line.mid(colon + 1).trimmed();
        if (key == QLatin1String("Manufacturer"))
            reading.maker = value;
        else if (key == QLatin1String("Model"))
            reading.model = value.section(u'(', -1).chopped(1);
        else if (key == QLatin1String("IMEI"))
            reading.imei = value;
        else if (key == QLatin1String("Firmware"))
            reading.revision = value;
    }
    return reading;
}

class GammuIdentifyTest : public BluetoothPhoneFixture {};

} // namespace

TEST_F(GammuIdentifyTest, GammuAndTheIdentifierReadTheSamePhone)
{
    const QString gammu = QStandardPaths::findExecutable(QStringLiteral("gammu"));
    if (gammu.isEmpty())
        GTEST_SKIP() << "gammu is not installed (Debian package gammu; scripts/install-deps.sh installs it)";
    // Where the two read a phone differently, the table says how: gammu
    // spells makers its own way ("Samsung", "Qualcomm"), takes the model out of a
    // Motorola list without "MODEL=", keeps an "IMEI" prefix and the quotes
    // of a revision, drops the "+CGMR: " prefix and shows no IMEI for an
    // ERROR; the identifier keeps answers as the phone gave them, reading
    // only a Motorola "MODEL=" list and a leading "IMEI" further.
    struct Case {
        const char* profile;
        QStringList scripts;
        Reading identifier;
        Reading gammu;
    };
    const Case cases[] = {
        {"lg", {}, {"QUALCOMM INCORPORATED", "KU990", "354123012345672", "V10c_00"},
         {"Qualcomm", "KU990", "354123012345672", "V10c_00"}},
        {"gigaset", {"gigaset-handset"}, {"Gigaset", "BRUSSELS", "351234005678902", "41"},
         {"Gigaset", "BRUSSELS", "351234005678902", "41"}},
        {"samsung", {}, {"SAMSUNG ELECTRONICS", "SGH-E250", "353456012345679", "E250XXHB1"},
         {"Samsung", "SGH-E250", "353456012345679", "E250XXHB1"}},
        {"motorola", {"motorola-model", "imei-serial"}, {"Motorola", "MODEL=V3", "351234567890123", "+CGMR: \"R374_G_0E.41.C3R_A\""},
         {"Motorola", "V3", "IMEI351234567890123", "\"R374_G_0E.41.C3R_A\""}},
        {"nokia", {"error-serial"}, {"Nokia", "Nokia 6230i", "0000000000000000", "V 03.80 13-01-06 RM-72 (c) Nokia."},
         {"Nokia", "Nokia 6230i", "", "V 03.80 13-01-06 RM-72 (c) Nokia."}},
    };
    for (const Case& c : cases) {
        const QString profile = QString::fromLatin1(c.profile);
        // gammu on a pseudo-terminal, in real time.
        std::optional<Reading> outside;
        {
            phonesim::PhoneSimulator ptySim(*phonesim::PhoneProfile::named(profile));
            for (const QString& script : c.scripts)
                ASSERT_TRUE(phonesim::IdentificationScripts::apply(ptySim, script));
            ASSERT_TRUE(ptySim.start());
            outside = gammuIdentify(gammu, ptySim.slavePath());
        }
        ASSERT_TRUE(outside) << c.profile << ": gammu did not finish";

        addPhone(c.profile);
        for (const QString& script : c.scripts)
            ASSERT_TRUE(phonesim::IdentificationScripts::apply(*sim, script));
        auto* identifier = CommonAsyncDeviceIdentifier::withBTDeviceString(address());
        int status = -99;
        identifier->requestATCommandsSync({QStringLiteral("AT+CGMM"), QStringLiteral("AT+CGMI"),
                                           QStringLiteral("AT+CGSN"), QStringLiteral("AT+CGMR")},
                                          &status);
        ASSERT_EQ(status, 0) << c.profile;
        identifier->identifyDevice();
        const Reading ours{identifier->company(), identifier->modelName(), identifier->getSerialNumber(),
                           identifier->swRevision()};
        const auto token = identifier->lifeToken();
        identifier->closeAndFree();
        ASSERT_TRUE(testing_support::runUntil([&] { return token.expired(); }, 10.0));

        EXPECT_EQ(ours.maker, c.identifier.maker) << c.profile;
        EXPECT_EQ(ours.model, c.identifier.model) << c.profile;
        EXPECT_EQ(ours.imei, c.identifier.imei) << c.profile;
        EXPECT_EQ(ours.revision, c.identifier.revision) << c.profile;
        EXPECT_EQ(outside->maker, c.gammu.maker) << c.profile;
        EXPECT_EQ(outside->model, c.gammu.model) << c.profile;
        EXPECT_EQ(outside->imei, c.gammu.imei) << c.profile;
        EXPECT_EQ(outside->revision, c.gammu.revision) << c.profile;
    }
}
