#include "PhoneSimulator.h"
#include "PtyClient.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using phonesim::PhoneProfile;
using phonesim::PhoneSession;
using phonesim::PhoneSimulator;

namespace {

class PhoneSimulatorTest : public ::testing::Test {
protected:
    void startWith(const char* profile)
    {
        std::optional<PhoneProfile> found = PhoneProfile::named(QString::fromLatin1(profile));
        ASSERT_TRUE(found) << profile;
        sim = std::make_unique<PhoneSimulator>(std::move(*found));
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        client = std::make_unique<PtyClient>(sim->slavePath());
        ASSERT_TRUE(client->isOpen());
        ASSERT_EQ(client->command("ATE0"), QByteArray("ATE0\r\r\nOK\r\n"));
    }

    std::unique_ptr<PhoneSimulator> sim;
    std::unique_ptr<PtyClient> client;
};

} // namespace

TEST_F(PhoneSimulatorTest, EveryProfileIdentifiesItself)
{
    const struct {
        const char* profile;
        QByteArray cgmi;
        QByteArray cgmm;
    } cases[] = {
        {"motorola", "+CGMI: \"Motorola CE, Copyright 2000\"",
         "+CGMM: \"GSM900\",\"GSM1800\",\"GSM1900\",\"GSM850\",\"MODEL=V3\""},
        {"motorola2", "+CGMI: \"Motorola CE, Copyright 2000\"", "+CGMM: \"GSM900\",\"GSM1800\",\"MODEL=E398\""},
        {"nokia", "Nokia", "Nokia 6230i"},
        {"sonyericsson", "Sony Ericsson", "K750i"},
        {"siemens", "SIEMENS", "S65"},
        {"gigaset", "Gigaset", "SL560"},
        {"gigaset-sl400", "Gigaset", "SL400"},
        {"lg", "QUALCOMM INCORPORATED", "KU990"},
        {"lg2", "LG Elec. Inc", "KS360"},
        {"lg3", "LG Electronics", "KM900"},
        {"lggd900", "LG Electronics Inc", "GD900"},
        {"samsung", "SAMSUNG ELECTRONICS", "SGH-E250"},
    };
    ASSERT_EQ(PhoneProfile::names().size(), int(std::size(cases)));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profile);
        startWith(c.profile);
        const PhoneProfile profile = *PhoneProfile::named(QString::fromLatin1(c.profile));
        EXPECT_EQ(client->command("AT+CGMI"), "\r\n" + c.cgmi + "\r\n\r\nOK\r\n");
        EXPECT_EQ(client->command("AT+CGMM"), "\r\n" + c.cgmm + "\r\n\r\nOK\r\n");
        EXPECT_EQ(client->command("AT+CGMR"), "\r\n" + profile.revision() + "\r\n\r\nOK\r\n");
        EXPECT_EQ(client->command("AT+CGSN"), "\r\n" + profile.imei() + "\r\n\r\nOK\r\n");
        QByteArray ati;
        for (const QByteArray& line : profile.information())
            ati += "\r\n" + line + "\r\n";
        EXPECT_EQ(client->command("ATI"), ati + "\r\nOK\r\n");
        client.reset();
        sim.reset();
    }
}

namespace {

// The identifications of the phone models in the device database
// ("maker+model" as the phone answers AT+CGMI and AT+CGMM).
QStringList deviceDatabaseIdentifications()
{
    static const QRegularExpression row(QStringLiteral(R"(\(\s*'\d+',\s*'[^']*',\s*'([^']+)')"));
    QStringList found;
    const QDir dir(QStringLiteral(MARVESTO_SOURCE_DIR "/data/devicedb"));
    for (const QString& name : dir.entryList({QStringLiteral("*.sql")})) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(file.readAll());
        for (const QRegularExpressionMatch& m : row.globalMatch(text))
            found.append(m.captured(1));
    }
    return found;
}

// An identification answer's text: without a "+CGMx: " prefix and quotes;
// of a list of bands and "MODEL=", the model.
QString identificationText(const QByteArray& answer)
{
    QString text = QString::fromLatin1(answer);
    text.remove(QLatin1String("\r\n\r\nOK\r\n"));
    text = text.trimmed();
    if (text.startsWith(QLatin1String("+CGM")) && text.indexOf(QLatin1String(": ")) > 0)
        text = text.mid(text.indexOf(QLatin1String(": ")) + 2);
    const qsizetype model = text.indexOf(QLatin1String("MODEL="));
    if (model >= 0)
        text = text.mid(model + 6);
    text.remove(QLatin1Char('"'));
    return text;
}

} // namespace

TEST_F(PhoneSimulatorTest, EveryProfileAnswersAsTheDeviceDatabaseKnowsItsModel)
{
    const QStringList known = deviceDatabaseIdentifications();
    ASSERT_GT(known.size(), 40);
    ASSERT_TRUE(known.contains(QStringLiteral("LG Electronics+KM900")));
    for (const QString& name : PhoneProfile::names()) {
        SCOPED_TRACE(name.toStdString());
        startWith(name.toLatin1().constData());
        const QString identification = identificationText(client->command("AT+CGMI")) + u'+'
            + identificationText(client->command("AT+CGMM"));
        EXPECT_TRUE(known.contains(identification)) << identification.toStdString();
        client.reset();
        sim.reset();
    }
}

TEST_F(PhoneSimulatorTest, EchoFollowsATE)
{
    startWith("nokia");
    EXPECT_EQ(client->command("AT"), QByteArray("\r\nOK\r\n"));
    // The line that switches echo on is not echoed, the next one is.
    EXPECT_EQ(client->command("ATE1"), QByteArray("\r\nOK\r\n"));
    EXPECT_EQ(client->command("AT+CGMI"), QByteArray("AT+CGMI\r\r\nNokia\r\n\r\nOK\r\n"));
    EXPECT_EQ(client->command("ate0"), QByteArray("ate0\r\r\nOK\r\n"));
    EXPECT_EQ(client->command("AT"), QByteArray("\r\nOK\r\n"));
}

TEST_F(PhoneSimulatorTest, UnknownOrMalformedCommandsAnswerError)
{
    startWith("lg");
    EXPECT_EQ(client->command("AT+XYZZY"), QByteArray("\r\nERROR\r\n"));
    EXPECT_EQ(client->command("ATE7"), QByteArray("\r\nERROR\r\n"));
    EXPECT_EQ(client->command("AT+CGMI=1"), QByteArray("\r\nERROR\r\n"));
    // An error ends the line: what came before it was answered, nothing after.
    EXPECT_EQ(client->command("AT+CGMI;+XYZZY;+CGMM"), QByteArray("\r\nQUALCOMM INCORPORATED\r\n\r\nERROR\r\n"));
    // Text that is no command line is ignored, not answered.
    ASSERT_TRUE(client->write("hello\r"));
    EXPECT_TRUE(client->readFor(1.0).isEmpty());
    EXPECT_EQ(client->command("AT+CGMM"), QByteArray("\r\nKU990\r\n\r\nOK\r\n"));
}

TEST_F(PhoneSimulatorTest, DialHangUpAndActivityStatus)
{
    startWith("samsung");
    EXPECT_EQ(client->command("AT+CPAS"), QByteArray("\r\n+CPAS: 0\r\n\r\nOK\r\n"));
    EXPECT_EQ(client->command("ATD0123456789;"), QByteArray("\r\nOK\r\n"));
    EXPECT_EQ(client->command("AT+CPAS"), QByteArray("\r\n+CPAS: 4\r\n\r\nOK\r\n"));
    EXPECT_EQ(client->command("ATD555;"), QByteArray("\r\nERROR\r\n")) << "already in a call";
    EXPECT_EQ(client->command("AT+CHUP"), QByteArray("\r\nOK\r\n"));
    EXPECT_EQ(client->command("AT+CPAS"), QByteArray("\r\n+CPAS: 0\r\n\r\nOK\r\n"));
    EXPECT_EQ(client->command("ATD555;"), QByteArray("\r\nOK\r\n"));
    EXPECT_EQ(client->command("ATH"), QByteArray("\r\nOK\r\n"));
    EXPECT_EQ(client->command("ATD"), QByteArray("\r\nERROR\r\n"));
    EXPECT_EQ(sim->session().dialledNumbers, QList<QByteArray>({"0123456789", "555"}));
    EXPECT_EQ(sim->session().activity, PhoneSession::Ready);
}

TEST_F(PhoneSimulatorTest, BatteryFollowsTheSession)
{
    startWith("siemens");
    EXPECT_EQ(client->command("AT+CBC"), QByteArray("\r\n+CBC: 0,80\r\n\r\nOK\r\n"));
    sim->modifySession([](PhoneSession& s) {
        s.batteryConnection = 1;
        s.batteryCharge = 35;
    });
    EXPECT_EQ(client->command("AT+CBC"), QByteArray("\r\n+CBC: 1,35\r\n\r\nOK\r\n"));
    EXPECT_EQ(client->command("AT+CBC=?"), QByteArray("\r\n+CBC: (0-3),(0-100)\r\n\r\nOK\r\n"));
}

TEST_F(PhoneSimulatorTest, ChunkedDelayedAnswersArriveWhole)
{
    startWith("motorola");
    sim->setAnswerChunking(3, 20);
    const QByteArray answer = client->command("AT+CGMR");
    EXPECT_EQ(answer, QByteArray("\r\n+CGMR: \"R374_G_0E.41.C3R_A\"\r\n\r\nOK\r\n"));
    // A slow reader may see pieces run together, but never the whole answer at once.
    EXPECT_GT(client->readSizes().size(), 1);
}

TEST_F(PhoneSimulatorTest, RecordsWhatItReceivedAcrossSplitWrites)
{
    startWith("gigaset");
    sim->clearReceived();
    // A command in pieces, with CR LF line ends, and two lines in one write.
    ASSERT_TRUE(client->write("AT+CG"));
    ASSERT_TRUE(client->write("MI\r\n"));
    EXPECT_EQ(client->readAnswer(), QByteArray("\r\nGigaset\r\n\r\nOK\r\n"));
    ASSERT_TRUE(client->write("AT\rAT+CGMM\r"));
    // The two answers may come in one read or in two.
    QByteArray both = client->readAnswer();
    if (!both.contains("SL560"))
        both += client->readAnswer();
    EXPECT_TRUE(both.endsWith("\r\nSL560\r\n\r\nOK\r\n")) << both.toStdString();
    EXPECT_EQ(sim->received(), QByteArray("AT+CGMI\r\nAT\rAT+CGMM\r"));
    EXPECT_EQ(sim->receivedLines(), QList<QByteArray>({"AT+CGMI", "AT", "AT+CGMM"}));
}

TEST_F(PhoneSimulatorTest, KeepsOnlyARecentWindowOfItsInput)
{
    startWith("lg");
    QByteArray lines;
    for (int i = 0; i < PhoneSimulator::kReceivedWindowLines + 100; ++i)
        lines += "line " + QByteArray::number(i) + '\r';
    ASSERT_TRUE(client->write(lines));
    ASSERT_TRUE(client->write(QByteArray(2 * PhoneSimulator::kReceivedWindowBytes + 10, 'x') + '\r'));
    // The answer shows everything before it was read.
    EXPECT_EQ(client->command("AT"), QByteArray("\r\nOK\r\n"));
    const QByteArray received = sim->received();
    EXPECT_EQ(received.size(), PhoneSimulator::kReceivedWindowBytes);
    EXPECT_TRUE(received.endsWith(QByteArray(1000, 'x').append("\rAT\r")));
    const QList<QByteArray> receivedLines = sim->receivedLines();
    ASSERT_EQ(receivedLines.size(), PhoneSimulator::kReceivedWindowLines);
    EXPECT_EQ(receivedLines.back(), "AT");
    EXPECT_EQ(receivedLines[receivedLines.size() - 2], QByteArray(4096, 'x')); // cut at the line limit
    EXPECT_EQ(receivedLines.front(), "line 102");
}

TEST_F(PhoneSimulatorTest, HandlersCanBeAddedWhileRunning)
{
    startWith("sonyericsson");
    EXPECT_EQ(client->command("AT*EVERSION"), QByteArray("\r\nERROR\r\n"));
    sim->setHandler("*EVERSION", [](PhoneSession&, const phonesim::AtCommand&) {
        return phonesim::AtResult::okay({"*EVERSION: 1"});
    });
    EXPECT_EQ(client->command("AT*EVERSION"), QByteArray("\r\n*EVERSION: 1\r\n\r\nOK\r\n"));
}

TEST_F(PhoneSimulatorTest, ClientCanReopenTheTty)
{
    startWith("lg");
    client = std::make_unique<PtyClient>(sim->slavePath());
    ASSERT_TRUE(client->isOpen());
    EXPECT_EQ(client->command("AT+CGSN"), QByteArray("\r\n354123012345672\r\n\r\nOK\r\n"));
}

// After the OBEX session of AT+CPROT=0 the line takes AT commands again; an
// escape sequence sent after the Disconnect (as a Gigaset link does) is no
// command and does not spoil the next one.
TEST_F(PhoneSimulatorTest, ACPROTSessionHandsTheLineBackToATCommandsAtItsDisconnect)
{
    startWith("motorola");
    ASSERT_TRUE(client->write("AT+CPROT=0\r"));
    EXPECT_TRUE(client->readFor(1.0).contains("CONNECT"));
    ASSERT_TRUE(sim->obexMode());
    ASSERT_TRUE(client->write(QByteArray::fromHex("8000071000ffff")));
    const QByteArray connected = client->readFor(1.0);
    ASSERT_FALSE(connected.isEmpty());
    EXPECT_EQ(quint8(connected[0]), 0xA0);
    ASSERT_TRUE(client->write(QByteArray::fromHex("810003")));
    EXPECT_EQ(client->readFor(1.0), QByteArray::fromHex("a00003"));
    EXPECT_FALSE(sim->obexMode());

    ASSERT_TRUE(client->write("+++"));
    EXPECT_TRUE(client->readFor(1.0).isEmpty());
    EXPECT_EQ(client->command("AT"), QByteArray("\r\nOK\r\n"));
    ASSERT_TRUE(client->write("AT+CPROT=0\r"));
    EXPECT_EQ(client->readFor(1.0), QByteArray("\r\nCONNECT\r\n"));
    EXPECT_TRUE(sim->obexMode());
}
