// The state texts a SyncML session shows its job: reading counts against
// the phone's announced number of changes, sending shows only while
// something is left to send.
#include "QVSyncSessionTestSupport.h"

using namespace syncsessiontest;

TEST_F(SyncSessionTest, TheSessionsOwnStateTextsReachTheJob)
{
    const QString card = QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Phone;Ann\r\nEND:VCARD\r\n");
    const QString twoAdds = QStringLiteral("<Add><CmdID>3</CmdID>") + itemXML(QStringLiteral("11"), card)
        + itemXML(QStringLiteral("12"), card) + QStringLiteral("</Add>");
    const struct {
        const char* name;
        QString syncContent;
        bool ourCard;
        QStringList reading; // the Reading texts, in order
        QString sending;     // the first Sending text
    } cases[] = {
        {"changes announced",
         QStringLiteral("<NumberOfChanges>2</NumberOfChanges>") + twoAdds,
         false,
         {QStringLiteral("Reading (1 of 2)"), QStringLiteral("Reading (2 of 2)")},
         QString()},
        {"no count",
         twoAdds,
         true,
         {QStringLiteral("Reading (#1)"), QStringLiteral("Reading (#2)")},
         QStringLiteral("Sending (0 of 1)")},
        {"count zero",
         QStringLiteral("<NumberOfChanges>0</NumberOfChanges>"),
         true,
         {QStringLiteral("Reading (#1)"), QStringLiteral("Reading (#1)")},
         QStringLiteral("Sending (0 of 1)")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        session.reset();
        link = ScriptedSyncMLLink();
        job = ScriptedSessionJob();
        if (c.ourCard) {
            job.commands = std::make_shared<QVCommandArray>();
            job.commands->addObject(QVSyncElem::elemWithData(card, QStringLiteral("T-1"),
                                                             QStringLiteral("Session Plain"), QString(), QString()),
                                    QVCommandArray::kAdd);
        }
        start(Plain);
        phoneAnswers(phoneXML(1, alertXML(1, 201) + QStringLiteral("<Final/>")));
        phoneAnswers(phoneXML(2, syncXML(2, c.syncContent) + QStringLiteral("<Final/>")));

        QStringList reading;
        QStringList sending;
        for (const QString& text : job.actions) {
            if (text.startsWith(QLatin1String("Reading")))
                reading << text;
        }
        EXPECT_EQ(reading, c.reading);
        // Sending follows Processing; with nothing to send its text is empty.
        const qsizetype processing = job.actions.indexOf(QStringLiteral("Processing data..."));
        ASSERT_GE(processing, 0);
        ASSERT_GT(job.actions.size(), processing + 1);
        EXPECT_EQ(job.actions[processing + 1], c.sending);
        EXPECT_TRUE(job.finished.isEmpty());
    }
}
