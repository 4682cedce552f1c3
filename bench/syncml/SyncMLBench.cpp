#include "device/QVSyncDeviceDescription.h"
#include "sync/QVSyncObjects.h"
#include "sync/QVSyncObjectsSession.h"
#include "sync/SyncMLCreator.h"
#include "sync/SyncMLCreatorSession.h"
#include "sync/WBXMLConverter.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/QVSyncElem.h"

#include <wbxml/wbxml.h>
#include <wbxml/wbxml_conv.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr int kContacts = 500;

// A SyncML server session as far as the builder and the queue ask.
class BenchSession : public SyncMLCreatorSession, public QVSyncObjectsSession {
public:
    BenchSession() : description(std::make_shared<QVSyncDeviceDescription>(nullptr)), creator(*this) { }

    QString syncMLVersionString() const override { return QStringLiteral("1.2"); }
    int syncMLVersion() const override { return 2; }
    QString currentSessionID() const override { return QStringLiteral("1"); }
    long newMessageID() override { return ++messageID; }
    long newCommandID() override { return ++commandID; }
    QString deviceURI() const override { return QStringLiteral("IMEI:350000000000001"); }
    QString myURI() const override { return QStringLiteral("iSync"); }
    QString myDB(int) const override { return QStringLiteral("Contacts"); }
    QString deviceDB(int) const override { return QStringLiteral("./contacts"); }
    QString targetDatabase(int) const override { return QStringLiteral("./contacts"); }
    QString currentDBName() const override { return QStringLiteral("Contacts"); }
    QString currentDeviceDBName() const override { return QStringLiteral("./contacts"); }
    QString currentProcessedMessageID() const override { return QStringLiteral("1"); }
    QString syncServerName() const override { return QStringLiteral("iSync"); }
    bool syncMLNumberOfChangesSupport() const override { return true; }
    void setDZSyncTime(const QString&) override { }
    QString lastSyncDZTime() const override { return {}; }
    void rememberCommandForStatus(const QString&, const QString&) override { }
    const QVSyncDeviceDescription& syncDescription() const override { return *description; }
    std::shared_ptr<SyncDeviceLimits> itemDescription() const override { return nullptr; }

    SyncMLCreator& syncMLCreator() override { return creator; }
    int property() const override { return 0; }
    const SyncMLCreatorNode* currentAnswerDocument() const override { return answer.get(); }
    int syncMLMaxMsgSize() const override { return 32000; }
    int syncMLMaxSyncCMDNbInEncodedMsg() const override { return 30; }
    int getDeviceRelationIndex(int) const override { return 0; }
    QVariantList syncReplies() const override
    {
        return {QVariantMap{{QStringLiteral("myDBName"), QStringLiteral("Contacts")},
                            {QStringLiteral("deviceDBName"), QStringLiteral("./contacts")}}};
    }

    std::shared_ptr<QVSyncDeviceDescription> description;
    SyncMLCreator creator;
    long messageID = 0;
    long commandID = 0;
    std::unique_ptr<SyncMLCreatorNode> answer;
};

std::shared_ptr<QVCommandArray> benchContacts()
{
    auto commands = std::make_shared<QVCommandArray>();
    for (int i = 0; i < kContacts; ++i) {
        const QString card = QStringLiteral(
                                 "BEGIN:VCARD\r\nVERSION:2.1\r\nN:M\u00fcller %1;J\u00fcrgen\r\n"
                                 "TEL;CELL:+49170%2\r\nTEL;WORK:+4930%2\r\nEMAIL;INTERNET:j%1@example.org\r\n"
                                 "ADR;HOME:;;Hauptstra\u00dfe %1;Berlin;;10115;Germany\r\n"
                                 "NOTE:Met at the fair, call back in spring\r\nEND:VCARD\r\n")
                                 .arg(i)
                                 .arg(1000000 + i);
        commands->addObject(QVSyncElem::elemWithData(card, QString(), QString(), QString(), QString()),
                            QVCommandArray::kAdd);
    }
    return commands;
}

// One slow sync's messages of 500 contacts: each message starts anew and
// takes the queue's next Sync element. Answers the messages' XML.
std::vector<QByteArray> buildMessages(BenchSession& session)
{
    std::vector<QByteArray> messages;
    auto queue = QVSyncObjects::syncObjectsWithSession(session, 2, 0);
    queue->setDownloadObjects(benchContacts());
    while (!queue->mustSendFinal()) {
        session.answer = session.creator.createNewMessage();
        SyncMLCreatorNode* body = session.answer->find(QStringLiteral("SyncML/SyncBody"));
        body->addChild(session.creator.createSyncHdrAnswerElement(200));
        std::unique_ptr<SyncMLCreatorNode> sync = queue->getNextSyncCommand();
        if (sync)
            body->addChild(std::move(sync));
        body->addChild(SyncMLCreator::createEmptyElement(QStringLiteral("Final")));
        messages.push_back(session.answer->xmlData());
    }
    return messages;
}

const std::vector<QByteArray>& xmlCorpus()
{
    static const std::vector<QByteArray> corpus = [] {
        BenchSession session;
        return buildMessages(session);
    }();
    return corpus;
}

const std::vector<QByteArray>& wbxmlCorpus()
{
    static const std::vector<QByteArray> corpus = [] {
        std::vector<QByteArray> out;
        for (const QByteArray& xml : xmlCorpus())
            out.push_back(*WBXMLConverter::sharedWBXMLConverter().convertToWBXML(xml, 2));
        return out;
    }();
    return corpus;
}

qint64 corpusBytes(const std::vector<QByteArray>& corpus)
{
    qint64 bytes = 0;
    for (const QByteArray& document : corpus)
        bytes += document.size();
    return bytes;
}

void BM_BuildAndFillMessages500Contacts(benchmark::State& state)
{
    std::size_t messages = 0;
    for (auto _ : state) {
        BenchSession session;
        const std::vector<QByteArray> built = buildMessages(session);
        messages += built.size();
        benchmark::DoNotOptimize(built.data());
    }
    state.counters["messages/s"] = benchmark::Counter(double(messages), benchmark::Counter::kIsRate);
    state.counters["messages"] = double(messages) / double(state.iterations());
}
BENCHMARK(BM_BuildAndFillMessages500Contacts)->Unit(benchmark::kMillisecond);

void BM_ToWbxmlWBXMLConverter(benchmark::State& state)
{
    const auto& corpus = xmlCorpus();
    for (auto _ : state)
        for (const QByteArray& xml : corpus)
            benchmark::DoNotOptimize(WBXMLConverter::sharedWBXMLConverter().convertToWBXML(xml, 2));
    state.SetBytesProcessed(state.iterations() * corpusBytes(corpus));
    state.counters["messages/s"] = benchmark::Counter(double(state.iterations() * corpus.size()),
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ToWbxmlWBXMLConverter)->Unit(benchmark::kMillisecond);

// xml2wbxml's own calls.
void BM_ToWbxmlLibrary(benchmark::State& state)
{
    const auto& corpus = xmlCorpus();
    for (auto _ : state) {
        for (const QByteArray& xml : corpus) {
            QByteArray input = xml;
            WBXMLConvXML2WBXML* conv = nullptr;
            wbxml_conv_xml2wbxml_create(&conv);
            wbxml_conv_xml2wbxml_set_version(conv, WBXML_VERSION_12);
            wbxml_conv_xml2wbxml_disable_string_table(conv);
            WB_UTINY* out = nullptr;
            WB_ULONG length = 0;
            wbxml_conv_xml2wbxml_run(conv, reinterpret_cast<WB_UTINY*>(input.data()),
                                     static_cast<WB_ULONG>(input.size()), &out, &length);
            wbxml_conv_xml2wbxml_destroy(conv);
            benchmark::DoNotOptimize(out);
            std::free(out);
        }
    }
    state.SetBytesProcessed(state.iterations() * corpusBytes(corpus));
    state.counters["messages/s"] = benchmark::Counter(double(state.iterations() * corpus.size()),
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ToWbxmlLibrary)->Unit(benchmark::kMillisecond);

void BM_ToXmlWBXMLConverter(benchmark::State& state)
{
    const auto& corpus = wbxmlCorpus();
    for (auto _ : state)
        for (const QByteArray& wbxml : corpus)
            benchmark::DoNotOptimize(WBXMLConverter::sharedWBXMLConverter().convertToXMLData(wbxml, 2));
    state.SetBytesProcessed(state.iterations() * corpusBytes(corpus));
    state.counters["messages/s"] = benchmark::Counter(double(state.iterations() * corpus.size()),
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ToXmlWBXMLConverter)->Unit(benchmark::kMillisecond);

// wbxml2xml's own calls.
void BM_ToXmlLibrary(benchmark::State& state)
{
    const auto& corpus = wbxmlCorpus();
    for (auto _ : state) {
        for (const QByteArray& wbxml : corpus) {
            QByteArray input = wbxml;
            WBXMLConvWBXML2XML* conv = nullptr;
            wbxml_conv_wbxml2xml_create(&conv);
            wbxml_conv_wbxml2xml_set_gen_type(conv, WBXML_GEN_XML_INDENT);
            wbxml_conv_wbxml2xml_set_indent(conv, 4);
            wbxml_conv_wbxml2xml_set_language(conv, WBXML_LANG_SYNCML_SYNCML12);
            WB_UTINY* out = nullptr;
            WB_ULONG length = 0;
            wbxml_conv_wbxml2xml_run(conv, reinterpret_cast<WB_UTINY*>(input.data()),
                                     static_cast<WB_ULONG>(input.size()), &out, &length);
            wbxml_conv_wbxml2xml_destroy(conv);
            benchmark::DoNotOptimize(out);
            std::free(out);
        }
    }
    state.SetBytesProcessed(state.iterations() * corpusBytes(corpus));
    state.counters["messages/s"] = benchmark::Counter(double(state.iterations() * corpus.size()),
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ToXmlLibrary)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
