// Phone documents and the document controller: names, the close question,
// the backup wait and the quit over several documents.
#include "AppTestSupport.h"

#include "app/DZDocumentController.h"
#include "app/MobileDeviceDocument.h"

#include "VirtualTime.h"
#include "devicewindow/DeviceWindowController.h"
#include "phone/MFDevice.h"

#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

namespace app_tests {
namespace {

using testing_support::runFor;

// What the fake archives of the documents report.
struct DocArchiveState {
    bool dirty = false;
    bool canDiscard = true;
    QList<int> sent;
    int checked = 0;
};

class DocFakeArchive : public DocumentArchive {
public:
    explicit DocFakeArchive(std::shared_ptr<DocArchiveState> state) : state_(std::move(state)) {}
    bool isSomethingDirty(bool* canDiscard) const override
    {
        *canDiscard = state_->canDiscard;
        return state_->dirty;
    }
    QString whatIsDirty() const override { return QStringLiteral("contacts"); }
    bool isStorageDirty(int property) const override { return state_->dirty && property == 0; }
    void checkForArchiveChanges() override { ++state_->checked; }
    QString pathNameForSyncAnchors() const override { return QString(); }

private:
    std::shared_ptr<DocArchiveState> state_;
};

// A document whose window's answers are set by the test.
class DocProbe : public MobileDeviceDocument {
public:
    using MobileDeviceDocument::MobileDeviceDocument;
    bool canDeactivate = true;
    bool backup = false;
    bool warn = true;

protected:
    bool windowCanDeactivate() const override { return canDeactivate; }
    bool windowHasNotFinishedBackup() const override { return backup; }
    bool windowSessionDidDied() const override { return false; }
    bool doWarnOnQuit() const override { return warn; }
};

std::shared_ptr<MFDevice> docMakeDevice(const QString& serial)
{
    QVariantMap dict{{QStringLiteral("Common.SerialNo"), serial},
                     {QStringLiteral("Common.DeviceName"), QStringLiteral("Phone %1").arg(serial)},
                     {QStringLiteral("USB.PortName"), QStringLiteral("/dev/null-phone")}};
    const QVariantMap row{{QStringLiteral("Dorvanti.Model"), QStringLiteral("KU990")},
                          {QStringLiteral("Dorvanti.Manufacturer"), QStringLiteral("LG")},
                          {QStringLiteral("Dorvanti.DeviceProtocol"), QStringLiteral("lg")}};
    return std::make_shared<MFDevice>(QString::fromLatin1(MFDevice::kUSBSerial), std::make_shared<QVariantMap>(dict),
                                      row, nullptr, MFDevice::Makers{});
}

// Documents with phones and fake archives in a document controller.
struct DocQuitFixture {
    DocQuitFixture()
    {
        MobileDeviceDocument::setMakers({{},
                                         [this](MFDevice&) {
                                             archives.push_back(std::make_shared<DocArchiveState>());
                                             return std::make_unique<DocFakeArchive>(archives.back());
                                         },
                                         [this](MFDevice&, DeviceWindowController*, int property) {
                                             sent << property;
                                         }});
        documents.setAskToWait([this] { ++waits; });
    }
    ~DocQuitFixture() { MobileDeviceDocument::setMakers({}); }
    DocProbe* add(const QString& serial)
    {
        auto document = std::make_unique<DocProbe>(nullptr, &documents);
        document->addWindowController(std::make_unique<DeviceWindowController>());
        EXPECT_TRUE(document->setMFDevice(docMakeDevice(serial), nullptr));
        DocProbe* probe = document.get();
        documents.addDocument(std::move(document));
        return probe;
    }
    static void answer(MobileDeviceDocument* document, const char* button)
    {
        ASSERT_NE(document->closeQuestion(), nullptr);
        QPushButton* pressed = document->closeQuestion()->findChild<QPushButton*>(QLatin1String(button));
        ASSERT_NE(pressed, nullptr) << button;
        pressed->click();
        runFor(0.05);
    }

    DZDocumentController documents;
    std::vector<std::shared_ptr<DocArchiveState>> archives;
    QList<int> sent;
    int waits = 0;
};

TEST(PhoneDocument, WithoutAPhoneItIsDorvantiClosesAtOnceAndIsNeverSaved)
{
    MobileDeviceDocument document;
    EXPECT_EQ(document.getDeviceName(), QStringLiteral("Dorvanti"));
    EXPECT_EQ(document.displayName(), QStringLiteral("No phone"));
    EXPECT_FALSE(document.hasDevice());
    EXPECT_FALSE(document.isDocumentEdited());
    std::optional<bool> answered;
    document.canCloseDocument([&](bool close) { answered = close; });
    EXPECT_EQ(answered, true);
    EXPECT_TRUE(document.dataRepresentationOfType(QStringLiteral("any")).isEmpty());
    for (const char* off : {"saveDocumentAs", "printDocument", "runPageLayout"})
        EXPECT_FALSE(document.validateMenuItem(QLatin1String(off))) << off;
    EXPECT_TRUE(document.validateMenuItem(QStringLiteral("performClose")));
    EXPECT_FALSE(document.getMirrorPath(QStringLiteral("/a")).has_value()) << "no mirror: nothing";
}

TEST(PhoneDocument, ARunningBackupHoldsTheCloseOnlyWhenWarnOnQuitIsOn)
{
    for (bool warn : {false, true}) {
        DocQuitFixture f;
        DocProbe* document = f.add(QStringLiteral("B1"));
        document->backup = true;
        document->warn = warn;
        EXPECT_TRUE(document->isDocumentEdited()) << "an unfinished backup counts";
        std::optional<bool> answered;
        document->canCloseDocument([&](bool close) { answered = close; });
        EXPECT_EQ(answered, !warn) << warn;
        EXPECT_EQ(document->closeWasRequested(), warn);
        document->cancelClose();
        EXPECT_FALSE(document->closeWasRequested());
        runFor(0.05);
    }
}

TEST(PhoneDocument, QuitWaitsStartsOnlyAfterBothDirtyDocumentsAreSettled)
{
    DocQuitFixture f;
    DocProbe* first = f.add(QStringLiteral("Q1"));
    DocProbe* second = f.add(QStringLiteral("Q2"));
    for (const auto& archive : f.archives)
        archive->dirty = true;
    f.archives.back()->canDiscard = false;
    std::optional<bool> done;
    f.documents.closeAllDocuments([&](bool closed) { done = closed; });
    EXPECT_EQ(f.documents.dirtyCount(), 2);
    ASSERT_NE(first->closeQuestion(), nullptr);
    EXPECT_TRUE(first->closeQuestion()->text().contains(QStringLiteral("Phone Q1")));
    EXPECT_EQ(first->closeQuestion()->defaultButton()->objectName(), QStringLiteral("sendChanges"));
    EXPECT_EQ(first->closeQuestion()->escapeButton()->objectName(), QStringLiteral("cancelClose"));
    EXPECT_EQ(second->closeQuestion(), nullptr) << "one question at a time";

    DocQuitFixture::answer(first, "sendChanges");
    EXPECT_EQ(f.sent, (QList<int>{0}));
    EXPECT_EQ(f.waits, 0) << "the second is not settled yet";
    ASSERT_NE(second->closeQuestion(), nullptr);
    EXPECT_TRUE(second->closeQuestion()->findChild<QPushButton*>(QStringLiteral("discardOrLater"))
                    ->text()
                    .contains(QStringLiteral("Later")))
        << "changes that cannot be discarded wait for later";
    DocQuitFixture::answer(second, "discardOrLater");
    EXPECT_EQ(f.waits, 1);
    EXPECT_FALSE(done.has_value()) << "the wait goes on from here";
    EXPECT_TRUE(f.documents.quitWasRequested());
}

TEST(PhoneDocument, CancelInEitherQuestionKeepsTheProgramRunning)
{
    for (int cancelled : {0, 1}) {
        DocQuitFixture f;
        DocProbe* docs[] = {f.add(QStringLiteral("C1")), f.add(QStringLiteral("C2"))};
        for (const auto& archive : f.archives)
            archive->dirty = true;
        std::optional<bool> done;
        f.documents.closeAllDocuments([&](bool closed) { done = closed; });
        if (cancelled == 1)
            DocQuitFixture::answer(docs[0], "discardOrLater");
        DocQuitFixture::answer(docs[cancelled], "cancelClose");
        EXPECT_EQ(done, false) << cancelled;
        EXPECT_EQ(f.waits, 0) << cancelled;
        EXPECT_FALSE(f.documents.quitWasRequested());
        runFor(0.05);
        EXPECT_EQ(f.documents.documents().size(), 2u) << "nothing closed";
    }
}

TEST(PhoneDocument, AWindowThatCannotLetGoRefusesTheCloseAndTheQuitStopsVisibly)
{
    DocQuitFixture f;
    DocProbe* document = f.add(QStringLiteral("D1"));
    document->canDeactivate = false;
    std::optional<bool> answered;
    document->canCloseDocument([&](bool close) { answered = close; });
    EXPECT_EQ(answered, false) << "the close is answered, not left hanging";

    QString reason;
    QObject::connect(&f.documents, &DZDocumentController::quitCancelled, [&](const QString& why) { reason = why; });
    std::optional<bool> done;
    f.documents.closeAllDocuments([&](bool closed) { done = closed; });
    EXPECT_EQ(done, false);
    EXPECT_TRUE(reason.contains(QStringLiteral("Phone D1")));
    EXPECT_FALSE(f.documents.quitWasRequested());
}

TEST(PhoneDocument, CleanDocumentsCloseAtTheQuitAndARefusingMakerRefusesThePhone)
{
    DocQuitFixture f;
    f.add(QStringLiteral("E1"));
    f.add(QStringLiteral("E2"));
    std::optional<bool> done;
    f.documents.closeAllDocuments([&](bool closed) { done = closed; });
    EXPECT_EQ(done, true);
    runFor(0.05);
    EXPECT_TRUE(f.documents.documents().empty());
    EXPECT_EQ(f.archives.front()->checked, 1) << "pending changes stored as the archive went";

    MobileDeviceDocument::setMakers({[](MFDevice&, DeviceWindowController*) { return std::unique_ptr<DocumentMirror>(); },
                                     {}, {}});
    MobileDeviceDocument refusing;
    EXPECT_FALSE(refusing.setMFDevice(docMakeDevice(QStringLiteral("E3")), nullptr));
    EXPECT_FALSE(refusing.hasDevice());
}

} // namespace
} // namespace app_tests
