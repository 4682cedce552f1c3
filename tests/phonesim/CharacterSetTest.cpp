// The simulated phone's TE character set "GSM": the default alphabet with
// its extension table, both ways, through the phonebook over the tty, and as
// Debian's gammu writes and reads it.
#include "CharacterSet.h"
#include "PhoneSimulator.h"
#include "PtyClient.h"
#include "SimTestBytes.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using phonesim::CharacterSetState;
using phonesim::PhoneProfile;
using phonesim::PhoneSession;
using phonesim::PhoneSimulator;

namespace {

CharacterSetState gsm(bool siemens = false)
{
    CharacterSetState sets;
    sets.current = "GSM";
    sets.siemensEscapes = siemens;
    return sets;
}

} // namespace

TEST(CharacterSetTest, GsmTextBothWays)
{
    const struct {
        const char16_t* text;
        const char* codes;
    } cases[] = {
        {u"A€B[C", "41 1B65 42 1B3C 43"},
        {u"€uro ~", "1B65 75 72 6F 20 1B3D"},
        {u"{}\\|^]\f", "1B28 1B29 1B2F 1B40 1B14 1B3E 1B0A"},
        {u"ΔΦΓΛΩΠΨΣΘΞ_", "10 12 13 14 15 16 17 18 19 1A 11"},
        {u"@£$¥èéùìòÇØøÅå", "40 01 02 03 04 05 06 07 08 09 0B 0C 0E 0F"},
        {u"ÆæßÉ¤ÄÖÑÜ§¿äöñüà", "1C 1D 1E 1F 24 5B 5C 5D 5E 5F 60 7B 7C 7D 7E 7F"},
        {u"a\r\nZ", "61 0D 0A 5A"},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(gsm().encode(text).toHex(' '), hex(c.codes).toHex(' '));
        EXPECT_EQ(gsm().decode(hex(c.codes)), text);
    }
}

TEST(CharacterSetTest, GsmCodesWithoutACharacterAndCharactersWithoutACode)
{
    const struct {
        const char* codes;
        const char16_t* text;
    } read[] = {
        {"00 41", u"@A"},    // "@" as code 0 too
        {"1B 41", u"A"},     // no extension: the default table's character
        {"41 1B", u"A "},    // an escape with nothing after it
        {"1B 1B 3C", u" <"}, // an escape after an escape: a space
        {"41 80", u"A?"},
    };
    for (const auto& c : read) {
        SCOPED_TRACE(c.codes);
        EXPECT_EQ(gsm().decode(hex(c.codes)), QString::fromUtf16(c.text));
    }
    EXPECT_EQ(gsm().encode(QStringLiteral("`ą\x01\x1B")), QByteArray("????"));
    // Siemens escapes "@", '"' and Ö; extension codes go as they are.
    EXPECT_EQ(gsm(true).encode(QString::fromUtf16(u"@\"Ö€")), QByteArray("\\00\\22\\5C\x1B\x65"));
    EXPECT_EQ(gsm(true).decode("\\00\\22\\5C\x1B\x65"), QString::fromUtf16(u"@\"Ö€"));
}

TEST(CharacterSetTest, PhonebookTextWrittenAndReadBackUnderGsm)
{
    PhoneSimulator sim(*PhoneProfile::named(QStringLiteral("nokia")));
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    PtyClient client(sim.slavePath());
    ASSERT_TRUE(client.isOpen());
    ASSERT_TRUE(client.command("ATE0").endsWith("OK\r\n"));
    ASSERT_TRUE(client.command("AT+CSCS=\"GSM\"").endsWith("OK\r\n"));
    ASSERT_TRUE(client.command("AT+CPBS=\"SM\"").endsWith("OK\r\n"));
    const QByteArray name = hex("41 1B65 42 1B3C 43");
    ASSERT_TRUE(client.command("AT+CPBW=1,\"123\",129,\"" + name + "\"").endsWith("OK\r\n"));
    const PhoneSession after = sim.session();
    ASSERT_NE(after.phonebook.storages[0].find(1), nullptr);
    EXPECT_EQ(after.phonebook.storages[0].find(1)->name, QString::fromUtf16(u"A€B[C"));
    EXPECT_EQ(client.command("AT+CPBR=1"), "\r\n+CPBR: 1,\"123\",129,\"" + name + "\"\r\n\r\nOK\r\n");
}

TEST(CharacterSetTest, GammuWritesAndReadsExtensionCharactersUnderGsm)
{
    if (QStandardPaths::findExecutable(QStringLiteral("gammu")).isEmpty())
        GTEST_SKIP() << "gammu is not installed (scripts/install-deps.sh installs it)";
    PhoneSimulator sim(*PhoneProfile::named(QStringLiteral("nokia")));
    sim.modifySession([](PhoneSession& s) {
        s.characterSet.offered = {"GSM"};
        s.phonebook.storages[0].put(2, {2, QStringLiteral("456"), 129, QString::fromUtf16(u"[x] {y} | \\ ^")});
    });
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("gammurc")));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("[gammu]\ndevice = " + sim.slavePath().toUtf8() + "\nconnection = at\n");
    config.close();
    QFile card(dir.filePath(QStringLiteral("euro.vcf")));
    ASSERT_TRUE(card.open(QIODevice::WriteOnly));
    card.write(QString::fromUtf16(u"BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8:€uro ~\r\nTEL:123\r\nEND:VCARD\r\n")
                   .toUtf8());
    card.close();
    const auto gammu = [&](const QStringList& arguments) {
        QProcess process;
        process.start(QStringLiteral("gammu"), QStringList{QStringLiteral("-c"), config.fileName()} + arguments);
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
        }
        return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    };

    const QString added = gammu({QStringLiteral("addnew"), card.fileName(), QStringLiteral("-yes"),
                                 QStringLiteral("-memory"), QStringLiteral("SM")});
    const PhoneSession after = sim.session();
    const phonesim::PhonebookEntry* written = after.phonebook.storages[0].find(1);
    ASSERT_NE(written, nullptr) << added.toStdString();
    EXPECT_EQ(written->name, QString::fromUtf16(u"€uro ~"));
    const QString listing = gammu(
        {QStringLiteral("getmemory"), QStringLiteral("SM"), QStringLiteral("1"), QStringLiteral("2")});
    EXPECT_TRUE(listing.contains(QString::fromUtf16(u"\"€uro ~\""))) << listing.toStdString();
    EXPECT_TRUE(listing.contains(QString::fromUtf16(u"\"[x] {y} | \\ ^\""))) << listing.toStdString();
    EXPECT_EQ(sim.session().characterSet.current, QByteArray("GSM"));
    for (const QByteArray& line : sim.receivedLines())
        EXPECT_FALSE(line.startsWith("AT+CSCS=\"") && line != "AT+CSCS=\"GSM\"") << line.toStdString();
}
