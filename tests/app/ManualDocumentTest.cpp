#include "AppTestSupport.h"

#include "app/ManualDocument.h"

#include "platform/Localization.h"
#include "platform/gui/TestArtifacts.h"

#include "TestEnvironment.h"
#include "VirtualTime.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QSplitter>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using testing_support::runFor;

const QString kBuiltManual = QStringLiteral(MARVESTO_MANUAL_FILE);

void closeManual()
{
    if (ManualDocument* manual = ManualDocument::sharedManualDocument())
        delete manual->window();
    QApplication::processEvents();
}

int manualWindowCount()
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<BlackManualWindow*>(widget) ? 1 : 0;
    return count;
}

// The page of the outline entry with the label, -1 when none carries it.
int manualPageOf(const QString& label)
{
    const ManualDocument* manual = ManualDocument::sharedManualDocument();
    const PdfOutline::Entry* entry = manual ? ManualDocument::searchBookMark(label, manual->outline().entries()) : nullptr;
    return entry ? entry->pageIndex : -1;
}

class ManualDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(kBuiltManual))
            GTEST_SKIP() << "the manual was not built (python3-reportlab missing)";
        ManualDocument::setManualSearchPaths({});
    }
    void TearDown() override
    {
        closeManual();
        ManualDocument::setManualSearchPaths({});
    }
};

TEST_F(ManualDocumentTest, TheBuiltManualIsFoundAndItsOutlineCarriesTheBookmarkLabels)
{
    EXPECT_EQ(ManualDocument::getManualPath(), QFileInfo(kBuiltManual).canonicalFilePath());
    ASSERT_TRUE(ManualDocument::openManualDocument());
    const PdfOutline& outline = ManualDocument::sharedManualDocument()->outline();
    for (int number = 0; number <= 10; ++number) {
        const QString label = platform::localizedString(QStringLiteral("MBookMark_%1").arg(number));
        EXPECT_NE(ManualDocument::searchBookMark(label, outline.entries()), nullptr) << label.toStdString();
    }
}

TEST_F(ManualDocumentTest, ASecondOpeningBringsTheSameWindowForward)
{
    ASSERT_TRUE(ManualDocument::openManualDocument());
    ManualDocument* first = ManualDocument::sharedManualDocument();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->window()->isVisible());
    EXPECT_EQ(first->window()->title(), platform::localizedString(QStringLiteral("ManualTitle")));
    EXPECT_FALSE(first->isDocumentEdited());
    EXPECT_TRUE(ManualDocument::openManualDocument());
    EXPECT_EQ(ManualDocument::sharedManualDocument(), first);
    EXPECT_EQ(manualWindowCount(), 1);
    EXPECT_EQ(first->dataOfType(QStringLiteral("pdf")).left(5), QByteArray("%PDF-"));
    EXPECT_TRUE(first->dataOfType(QStringLiteral("txt")).isEmpty());

    // Closing the window ends the document.
    first->window()->close();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(ManualDocument::sharedManualDocument(), nullptr);
}

TEST_F(ManualDocumentTest, ButtonTagThreeOpensTheManualAndJumpsATenthOfASecondLater)
{
    app_tests::ControllerFixture f;
    f.controller->awakeFromNib();
    ManualDocumentButton button;
    button.setTag(3);
    int actions = 0;
    QObject::connect(&button, &ManualDocumentButton::action, [&] { ++actions; });
    button.click();
    ManualDocument* manual = ManualDocument::sharedManualDocument();
    ASSERT_NE(manual, nullptr);
    EXPECT_EQ(actions, 1) << "the button's own action follows the manual";
    const int target = manualPageOf(QStringLiteral("Adding a phone over Bluetooth"));
    ASSERT_GT(target, 0);
    EXPECT_EQ(manual->pdfView()->currentPageIndex(), 0);
    runFor(0.05);
    EXPECT_EQ(manual->pdfView()->currentPageIndex(), 0) << "not before 0.1 s";
    runFor(0.06);
    EXPECT_EQ(manual->pdfView()->currentPageIndex(), target);
    platform::gui::saveGrab(manual->window(), QStringLiteral("manual-bookmark-3"));

    // A label no entry carries, and anything but a number, leave the page.
    manual->jumpToBookMark(QVariant(99u));
    manual->jumpToBookMark(QVariant(QStringLiteral("1")));
    manual->jumpToBookMark(QVariant());
    EXPECT_EQ(manual->pdfView()->currentPageIndex(), target);
    manual->jumpToBookMark(QVariant(1u));
    EXPECT_EQ(manual->pdfView()->currentPageIndex(), manualPageOf(QStringLiteral("Starting Marvesto LG")));
}

TEST_F(ManualDocumentTest, WithoutAManualTheControllerSaysWhereItLookedAndOpensNoWindow)
{
    const QString nowhere = testing_support::testHome() + QStringLiteral("/no-such-folder/Manual.pdf");
    ManualDocument::setManualSearchPaths({nowhere});
    EXPECT_TRUE(ManualDocument::getManualPath().isEmpty());
    EXPECT_FALSE(ManualDocument::openManualDocument(3));

    app_tests::ControllerFixture f;
    f.controller->openManual(false, false);
    QMessageBox* message = f.controller->manualMissingMessage();
    ASSERT_NE(message, nullptr);
    EXPECT_TRUE(message->isVisible());
    EXPECT_EQ(message->text(), QStringLiteral("The manual is not installed."));
    EXPECT_TRUE(message->informativeText().contains(nowhere));
    EXPECT_EQ(ManualDocument::sharedManualDocument(), nullptr);
    EXPECT_EQ(manualWindowCount(), 0);
    delete message;
}

TEST_F(ManualDocumentTest, ADamagedManualShowsTheViewersMessage)
{
    const QString damaged = testing_support::testHome() + QStringLiteral("/damaged/Manual.pdf");
    QDir().mkpath(QFileInfo(damaged).path());
    QFile file(damaged);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("%PDF-1.4\n1 0 obj << /Type /Catalog >> garbage");
    file.close();
    ManualDocument::setManualSearchPaths({damaged});
    ASSERT_TRUE(ManualDocument::openManualDocument(2));
    ManualDocument* manual = ManualDocument::sharedManualDocument();
    EXPECT_TRUE(manual->messageLabel()->isVisibleTo(manual));
    EXPECT_TRUE(manual->messageLabel()->text().contains(QStringLiteral("could not be opened")));
    runFor(0.2); // the jump finds no outline and does nothing
}

TEST_F(ManualDocumentTest, TheSplitStaysBetweenSixtyFourPointsAndEightTenthsOfTheHeight)
{
    EXPECT_EQ(ManualDocument::constrainMinCoordinate(10, 0), 64);
    EXPECT_DOUBLE_EQ(ManualDocument::constrainMaxCoordinate(700, 0, 500), 400);
    EXPECT_DOUBLE_EQ(ManualDocument::constrainMaxCoordinate(123, 1, 500), 123);

    ASSERT_TRUE(ManualDocument::openManualDocument());
    QSplitter* split = ManualDocument::sharedManualDocument()->splitView();
    ASSERT_NE(split, nullptr);
    ManualDocument::sharedManualDocument()->window()->resize(700, 700);
    QApplication::processEvents();
    const int height = split->height();
    ASSERT_GT(height, 200);
    split->setSizes({1, height});
    EXPECT_GE(split->sizes().at(0), 64);
    split->setSizes({height, 1});
    EXPECT_LE(split->sizes().at(0), int(0.8 * height) + 1);
}

TEST(BlackManualWindowTest, DrawsItsOwnTitleStripOverANearBlackBody)
{
    EXPECT_EQ(BlackManualWindow::paddedTitle(QStringLiteral("Manual")), QStringLiteral("Manual     ")); // floor(11.4)
    EXPECT_EQ(BlackManualWindow::paddedTitle(QString()), QString());
    BlackManualWindow window;
    window.setTitle(QStringLiteral("Marvesto LG Manual"));
    EXPECT_EQ(window.title(), QStringLiteral("Marvesto LG Manual"));
    EXPECT_EQ(window.windowTitle().size(), 34);
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(window.isMovableByWindowBackground());
    const QImage image = window.backgroundImage(QSize(300, 200));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "rounded corner";
    EXPECT_EQ(qAlpha(image.pixel(299, 199)), 0) << "rounded corner";
    EXPECT_NEAR(qRed(image.pixel(150, 150)), 8, 1) << "body white 0.03";
    EXPECT_NEAR(qRed(image.pixel(10, 12)), 64, 1) << "strip white 0.25";
    EXPECT_NEAR(qRed(image.pixel(150, 30)), 8, 1) << "below the 24-point strip";
}

TEST(ManualSearchTest, SearchIsDepthFirstFromTheNode)
{
    using Entry = PdfOutline::Entry;
    const Entry tree{QStringLiteral("root"), 0,
                     {Entry{QStringLiteral("a"), 1, {Entry{QStringLiteral("x"), 2, {}}}}, Entry{QStringLiteral("x"), 3, {}}}};
    EXPECT_EQ(ManualDocument::searchBookMark(QStringLiteral("root"), tree)->pageIndex, 0);
    EXPECT_EQ(ManualDocument::searchBookMark(QStringLiteral("x"), tree)->pageIndex, 2) << "first match in depth";
    EXPECT_EQ(ManualDocument::searchBookMark(QStringLiteral("y"), tree), nullptr);
}

} // namespace
