// phonesim's IrMC phone against outside programs that speak IrMC over a
// phone's tty: obexftp fetching the IrMC objects, and gammu reading the
// whole phonebook (information log, phonebook, then the index objects). Both
// switch the phone with "AT+CPROT=0" themselves. Each test skips with a
// message when its program is missing.
#include "IrmcPhone.h"
#include "ObexServer.h"
#include "PhoneProfile.h"
#include "PhoneSimulator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::shared_ptr<phonesim::IrmcPhone> irmcPhonebook(int entries)
{
    auto phone = std::make_shared<phonesim::IrmcPhone>();
    for (int n = 1; n <= entries; ++n)
        phone->addEntry(phonesim::IrmcPhone::card(QStringLiteral("Entry%1").arg(n, 3, 10, QLatin1Char('0')),
                                                  QStringLiteral("+4930%1").arg(1000 + n)));
    return phone;
}

// Not a Siemens or Ericsson profile: both programs switch those with command
// sets of their own. obexftp's tty transport takes answers of about 500 bytes.
std::unique_ptr<phonesim::PhoneSimulator> startPhone(const std::shared_ptr<phonesim::IrmcPhone>& irmc)
{
    auto phone = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QStringLiteral("lg")));
    phone->modifyObexServer([&](phonesim::ObexServer& obex) {
        obex.setMaxPacket(500);
        obex.setIrmcPhone(irmc);
    });
    if (!phone->start())
        return nullptr;
    return phone;
}

QByteArray runProgram(const QString& program, const QStringList& arguments, const QString& folder)
{
    QProcess client;
    client.setWorkingDirectory(folder);
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(program, arguments);
    if (!client.waitForFinished(120000)) {
        client.kill();
        client.waitForFinished(3000);
    }
    return client.readAll();
}

} // namespace

TEST(IrmcOutsideToolsTest, ObexftpFetchesThePhonebookAndInformationLogByteForByte)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("obexftp"));
    if (program.isEmpty())
        GTEST_SKIP() << "obexftp (Debian obexftp) is not installed";
    const auto irmc = irmcPhonebook(12);
    const auto phone = startPhone(irmc);
    ASSERT_NE(phone, nullptr);
    for (const QString object : {QStringLiteral("telecom/pb.vcf"), QStringLiteral("telecom/pb/info.log")}) {
        SCOPED_TRACE(object.toStdString());
        QTemporaryDir work;
        ASSERT_TRUE(work.isValid());
        const QByteArray output = runProgram(program,
                                             {QStringLiteral("-t"), phone->slavePath(), QStringLiteral("-U"),
                                              QStringLiteral("IRMC"), QStringLiteral("-S"), QStringLiteral("-g"),
                                              object},
                                             work.path());
        EXPECT_EQ(phone->obexServer().lastTarget(), QByteArray("IRMC-SYNC")) << output.toStdString();
        QByteArray fetched;
        bool found = false;
        for (const QString& name : {object.section(QLatin1Char('/'), -1), object}) {
            QFile file(QDir(work.path()).filePath(name));
            if (file.open(QIODevice::ReadOnly)) {
                fetched = file.readAll();
                found = true;
            }
        }
        EXPECT_TRUE(found) << output.toStdString();
        EXPECT_EQ(fetched, irmc->get(object).value_or(QByteArray())) << output.toStdString();
    }
}

TEST(IrmcOutsideToolsTest, GammuReadsTheSameNamesAndNumbersAsTheSlowRead)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("gammu"));
    if (program.isEmpty())
        GTEST_SKIP() << "gammu (Debian gammu) is not installed";
    const auto irmc = irmcPhonebook(6);
    const auto phone = startPhone(irmc);
    ASSERT_NE(phone, nullptr);
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString config = QDir(work.path()).filePath(QStringLiteral("gammurc"));
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[gammu]\ndevice = " + phone->slavePath().toLocal8Bit() + "\nconnection = at\nmodel = atobex\n");
    file.close();
    const QByteArray output = runProgram(
        program, {QStringLiteral("-c"), config, QStringLiteral("getallmemory"), QStringLiteral("ME")}, work.path());
    const QList<QByteArray> lines = phone->receivedLines();
    EXPECT_TRUE(lines.contains("AT+CPROT=0")) << QByteArray(lines.join(" | ")).toStdString();
    const auto shows = [&](const char* label, const QByteArray& value) {
        const QByteArray line = QByteArray(label).append(": \"").append(value).append('"');
        return output.contains(line);
    };
    for (const auto& entry : irmc->entries()) {
        const QByteArray card = entry.card;
        const QByteArray name = card.mid(card.indexOf("\r\nN:") + 4).split(';').first();
        const QByteArray number = card.mid(card.indexOf("TEL;CELL:") + 9).split('\r').first();
        EXPECT_TRUE(shows("Last name            ", name)) << name.constData() << "\n" << output.toStdString();
        EXPECT_TRUE(shows("Mobile number        ", number)) << number.constData();
        EXPECT_TRUE(shows("LUID                 ", entry.luid.toLatin1()));
    }
    EXPECT_TRUE(irmc->reads().contains(QStringLiteral("telecom/pb/info.log")));
}
