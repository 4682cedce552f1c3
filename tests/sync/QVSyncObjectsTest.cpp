#include "SyncMLCreatorTestSupport.h"

#include "platform/Exception.h"
#include "sync/QVSyncObjects.h"
#include "sync/WBXMLConverter.h"
#include "syncmodel/QVCommandArray.h"

namespace {

using syncmltest::childTags;
using syncmltest::FakeSyncMLSession;
using syncmltest::textItem;

class QVSyncObjectsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QVLogCreateAndOpen(QString::fromLatin1(qvlog::kXT));
        session = std::make_unique<FakeSyncMLSession>();
        session->answer = session->creator.createNewMessage();
    }

    std::unique_ptr<QVSyncObjects> queueOf(const std::vector<std::pair<QString, QString>>& commands, int property = 0)
    {
        auto array = std::make_shared<QVCommandArray>();
        for (const auto& [text, command] : commands)
            array->addObject(textItem(text, QStringLiteral("uri-") + QString::number(array->count())), command);
        auto queue = QVSyncObjects::syncObjectsWithSession(*session, session->syncMLVersion(), property);
        queue->setDownloadObjects(array);
        return queue;
    }

    long answerSize() const
    {
        return WBXMLConverter::sharedWBXMLConverter().convertToWBXML(session->answer->xmlData(), 2)->size();
    }

    // Status answers that make the message built so far larger.
    void fillAnswer(int statuses)
    {
        SyncMLCreatorNode* body = session->answer->find(QStringLiteral("SyncML/SyncBody"));
        for (int i = 0; i < statuses; ++i)
            body->addChild(session->creator.createAnswerElement(QString::number(i), QStringLiteral("Replace")));
    }

    static QStringList sources(const SyncMLCreatorNode& sync)
    {
        QStringList uris;
        for (const auto& child : sync.children())
            if (const SyncMLCreatorNode* uri = child->find(QStringLiteral("Item/Source/LocURI")))
                uris << uri->textContent();
        return uris;
    }

    std::unique_ptr<FakeSyncMLSession> session;
};

TEST_F(QVSyncObjectsTest, WithoutCommandsOnlyTheClosingSyncGoes)
{
    auto queue = queueOf({});
    const auto closing = queue->getNextSyncCommand();
    ASSERT_TRUE(closing);
    EXPECT_EQ(childTags(*closing), (QStringList{"CmdID", "Target", "Source", "NumberOfChanges"}));
    EXPECT_EQ(closing->child(QStringLiteral("NumberOfChanges"))->textContent(), QStringLiteral("0"));
    EXPECT_EQ(closing->find(QStringLiteral("Source/LocURI"))->textContent(), QStringLiteral("Contacts"));
    EXPECT_FALSE(queue->getNextSyncCommand());
    EXPECT_TRUE(queue->mustSendFinal());
    EXPECT_FLOAT_EQ(queue->getProgressInPercent(), 95.0f);
}

TEST_F(QVSyncObjectsTest, TasksOfAPhoneWithoutEmptyFinalSyncEndAfterTheirCommands)
{
    session = std::make_unique<FakeSyncMLSession>(QStringLiteral("Samsung Test"));
    session->answer = session->creator.createNewMessage();
    for (const int property : {6, 5}) {
        auto queue = queueOf({{QStringLiteral("BEGIN:VTODO"), QVCommandArray::kAdd}}, property);
        const auto first = queue->getNextSyncCommand();
        ASSERT_TRUE(first);
        EXPECT_EQ(sources(*first), QStringList{"T-0"});
        EXPECT_FALSE(queue->mustSendFinal());
        const auto closing = queue->getNextSyncCommand();
        EXPECT_EQ(closing == nullptr, property == 6) << property;
        EXPECT_TRUE(queue->mustSendFinal());
    }
}

TEST_F(QVSyncObjectsTest, NewItemsGetTemporaryReferencesInOrder)
{
    auto queue = queueOf({{QStringLiteral("a"), QVCommandArray::kAdd},
                          {QStringLiteral("b"), QVCommandArray::kReplace},
                          {QStringLiteral("c"), QVCommandArray::kAdd},
                          {QStringLiteral("d"), QVCommandArray::kDelete},
                          {QStringLiteral("e"), QVCommandArray::kAdd}});
    const auto sync = queue->getNextSyncCommand();
    ASSERT_TRUE(sync);
    EXPECT_EQ(childTags(*sync),
              (QStringList{"CmdID", "Target", "Source", "NumberOfChanges", "Add", "Replace", "Add", "Delete", "Add"}));
    EXPECT_EQ(sources(*sync), (QStringList{"T-0", "T-1", "T-2"}));
    EXPECT_EQ(sync->childrenNamed(QStringLiteral("Replace"))
                  .front()
                  ->find(QStringLiteral("Item/Target/LocURI"))
                  ->textContent(),
              QStringLiteral("uri-1"));
    EXPECT_EQ(queue->elementsSentSoFar(), 5);
    EXPECT_TRUE(queue->weAreSending());
}

TEST_F(QVSyncObjectsTest, CommandsFitByTheirUtf8BytesIntoTheMessage)
{
    // 600 bytes so far, 400 per item and 150 each beside: 1150, 1700, then
    // 2250 would pass 2000.
    for (const QString& text : {QString(400, QLatin1Char('a')), QString(200, QChar(0xe9))}) {
        if (text.front() != QLatin1Char('a')) {
            // The message so far holds non-ASCII text too: it is measured as sent.
            const auto earlier = textItem(QStringLiteral("N:Gr\u00fc\u00dfe \u20ac"));
            session->answer->find(QStringLiteral("SyncML/SyncBody"))
                ->addChild(session->creator.createAddReplaceCommand(*earlier, QStringLiteral("T-9"), 0, true));
        }
        session->maxMsgSize = int(answerSize()) + 1400;
        auto queue = queueOf(
            {{text, QVCommandArray::kAdd}, {text, QVCommandArray::kAdd}, {text, QVCommandArray::kAdd}});
        long bytesLeft = -1;
        EXPECT_EQ(queue->calcHowManyElemsWeCanSend(0, bytesLeft), 2);
        const auto first = queue->getNextSyncCommand();
        ASSERT_TRUE(first);
        EXPECT_EQ(sources(*first), (QStringList{"T-0", "T-1"}));
        EXPECT_EQ(first->childrenNamed(QStringLiteral("Add")).front()->find(QStringLiteral("Item/Data"))->textContent(),
                  text);
        EXPECT_EQ(sources(*queue->getNextSyncCommand()), QStringList{"T-2"});
    }
}

TEST_F(QVSyncObjectsTest, ALargeItemGoesInChunksAndCountsAsSentAfterItsLast)
{
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral("line %1 \u00e9\r\n").arg(i, 3, 10, QLatin1Char('0'));
    session->maxMsgSize = int(answerSize()) + 1500;
    auto queue = queueOf({{text, QVCommandArray::kAdd}, {QStringLiteral("small"), QVCommandArray::kAdd}});
    QString received;
    int chunks = 0;
    while (queue->elementsSentSoFar() == 0) {
        const auto sync = queue->getNextSyncCommand();
        ASSERT_TRUE(sync);
        ++chunks;
        const SyncMLCreatorNode* add = sync->child(QStringLiteral("Add"));
        ASSERT_TRUE(add);
        const QString data = add->find(QStringLiteral("Item/Data"))->textContent();
        received += data;
        const bool last = received.size() == text.size();
        EXPECT_EQ(add->find(QStringLiteral("Item/MoreData")) != nullptr, !last) << chunks;
        EXPECT_EQ(add->find(QStringLiteral("Item/Meta/Size")) != nullptr, chunks == 1);
        EXPECT_EQ(add->find(QStringLiteral("Item/Source/LocURI"))->textContent(), QStringLiteral("0"));
        if (!last) {
            EXPECT_EQ(data.size() % QVSyncObjects::kChunkUnit, 0) << chunks;
            EXPECT_GE(data.size(), QVSyncObjects::kChunkUnit);
            EXPECT_EQ(queue->elementsSentSoFar(), 0);
        }
        ASSERT_LT(chunks, 100);
    }
    EXPECT_EQ(received, text);
    EXPECT_GT(chunks, 2);
    EXPECT_EQ(sources(*queue->getNextSyncCommand()), QStringList{"T-1"});
}

TEST_F(QVSyncObjectsTest, AnItemWaitsForRoomAndEndsTheRunWhenNoMessageCanHoldIt)
{
    const long empty = answerSize();
    fillAnswer(40);
    session->maxMsgSize = int(empty) + 600;
    auto queue = queueOf({{QString(2000, QLatin1Char('x')), QVCommandArray::kAdd}});
    EXPECT_FALSE(queue->getNextSyncCommand());
    EXPECT_FALSE(queue->mustSendFinal());
    session->answer = session->creator.createNewMessage();
    const auto chunk = queue->getNextSyncCommand();
    ASSERT_TRUE(chunk);
    EXPECT_TRUE(chunk->find(QStringLiteral("Add/Item/MoreData")));

    session->maxMsgSize = int(empty) + 100;
    auto hopeless = queueOf({{QString(2000, QLatin1Char('x')), QVCommandArray::kAdd}});
    try {
        hopeless->getNextSyncCommand();
        ADD_FAILURE() << "no error";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.name(), QLatin1String(QVSyncObjects::kItemTooLarge));
    }
}

TEST_F(QVSyncObjectsTest, ItemsWithoutTextAreSkippedWithALogLine)
{
    session->maxMsgSize = int(answerSize()) + 100;
    auto queue = queueOf({{QString(), QVCommandArray::kAdd}, {QString(), QVCommandArray::kReplace}});
    const auto closing = queue->getNextSyncCommand();
    ASSERT_TRUE(closing);
    EXPECT_FALSE(closing->child(QStringLiteral("Add")));
    EXPECT_TRUE(queue->mustSendFinal());
    EXPECT_TRUE(syncmltest::syncMLLogText(qvlog::kXT).contains(QStringLiteral("without text for the phone")));
}

TEST_F(QVSyncObjectsTest, AMessageThatCannotBeMeasuredEndsTheRunByName)
{
    session->answer->find(QStringLiteral("SyncML/SyncBody"))
        ->addChild(SyncMLCreatorNode::element(QStringLiteral("1bad")));
    auto queue = queueOf({{QStringLiteral("a"), QVCommandArray::kAdd}});
    try {
        queue->getNextSyncCommand();
        ADD_FAILURE() << "no error";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.name(), QLatin1String(QVSyncObjects::kCannotTranslate));
    }
}

TEST_F(QVSyncObjectsTest, ProgressCountsTheClosingSyncAsOneMoreStep)
{
    session->maxCommands = 5;
    std::vector<std::pair<QString, QString>> commands(10, {QStringLiteral("x"), QVCommandArray::kAdd});
    auto queue = queueOf(commands);
    EXPECT_NEAR(queue->getProgressInPercent(), 54.5f, 0.1f);
    ASSERT_TRUE(queue->getNextSyncCommand());
    EXPECT_NEAR(queue->getProgressInPercent(), 72.7f, 0.1f);
    ASSERT_TRUE(queue->getNextSyncCommand());
    ASSERT_TRUE(queue->getNextSyncCommand());
    EXPECT_FLOAT_EQ(queue->getProgressInPercent(), 95.0f);
}

} // namespace
