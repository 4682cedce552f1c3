#include "widgets/MyPDFDocument.h"
#include "widgets/PdfPageView.h"
#include "widgets/WidgetClasses.h"

#include "platform/gui/TestArtifacts.h"

#include "GuiGapProbe.h"
#include "VirtualTime.h"
#include "WidgetTestSupport.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <iostream>
#include "GuiGapLimit.h"

namespace {

using testing_support::runUntil;

const QString kManual = QStringLiteral(MARVESTO_TEST_DATA "/manual-with-outline.pdf");

// A PDF of pages whose text is made by text(page), without outline.
QString writePdf(const QString& path, int pages, const std::function<QString(int)>& text)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A5));
    writer.setResolution(72);
    QPainter painter(&writer);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 14));
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.drawText(QPointF(40, 80), text(page));
    }
    return path;
}

class MyPDFDocumentTest : public ::testing::Test {
protected:
    void SetUp() override { registerWidgetClasses(); }

    // Waits (on the platform clock; the search thread runs meanwhile) for
    // the running search to end.
    bool waitForSearch(MyPDFDocument& document)
    {
        testing_support::OutsideInputScope outside(0.002);
        return runUntil([&] { return !document.isSearching(); }, 30.0, 0.01);
    }

    QTemporaryDir folder;
};

TEST_F(MyPDFDocumentTest, OutlineFollowsThePageAndEntriesOutsideSelectNothing)
{
    MyPDFDocument document;
    ASSERT_TRUE(document.openFile(kManual));
    EXPECT_EQ(document.pdfView()->pageCount(), 3);
    ASSERT_NE(document.outlineView(), nullptr);
    EXPECT_EQ(document.noOutlineText(), nullptr) << "with an outline the no-outline text goes";
    EXPECT_TRUE(document.isDrawerOpen());
    const auto rows = document.outline().rows();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0]->label, "Chapter One");
    EXPECT_EQ(rows[0]->pageIndex, 1);
    EXPECT_EQ(rows[2]->pageIndex, -1) << "an entry pointing after the last page";

    widget_tests::showAndSettle(&document);
    struct Case {
        int page;
        const char* selected;
    } cases[] = {{1, "Chapter One"}, {2, "Chapter Two"}, {0, nullptr}, {2, "Chapter Two"}};
    for (const Case& c : cases) {
        document.pdfView()->goToPage(c.page);
        const QTreeWidgetItem* current = document.outlineView()->currentItem();
        EXPECT_EQ(current ? current->text(0) : QString(), c.selected ? QLatin1String(c.selected) : QString()) << c.page;
    }

    // Choosing entries: Chapter One turns to its page, the entry outside
    // the document leaves the page as it is.
    QTreeWidgetItem* first = document.outlineView()->topLevelItem(0);
    QTreeWidgetItem* outside = document.outlineView()->topLevelItem(2);
    document.outlineView()->setCurrentItem(first);
    EXPECT_EQ(document.pdfView()->currentPageIndex(), 1);
    document.outlineView()->setCurrentItem(outside);
    EXPECT_EQ(document.pdfView()->currentPageIndex(), 1);

    // The arrows walk the outline and the pages follow.
    document.outlineView()->setCurrentItem(first);
    QTest::keyClick(document.outlineView(), Qt::Key_Down);
    EXPECT_EQ(document.pdfView()->currentPageIndex(), 2);
    QTest::keyClick(document.outlineView(), Qt::Key_Up);
    EXPECT_EQ(document.pdfView()->currentPageIndex(), 1);

    document.toggleDrawer();
    EXPECT_FALSE(document.isDrawerOpen());
    document.toggleDrawer();
    platform::gui::saveGrab(&document, QStringLiteral("MyPDFDocument-outline"));
}

TEST_F(MyPDFDocumentTest, SearchFindsWhatPdftotextReadsAndResultsScrollAndHighlight)
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    MyPDFDocument document;
    ASSERT_TRUE(document.openFile(kManual));
    widget_tests::showAndSettle(&document);
    document.doFind(QStringLiteral("phone"));
    ASSERT_TRUE(waitForSearch(document));

    for (int page = 1; page <= 3; ++page) {
        QProcess text;
        text.start(pdftotext,
                   {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"), QString::number(page), kManual,
                    QStringLiteral("-")});
        ASSERT_TRUE(text.waitForFinished(10000));
        const int expected =
            QString::fromUtf8(text.readAllStandardOutput()).count(QStringLiteral("phone"), Qt::CaseInsensitive);
        int found = 0;
        for (const PdfSearch::Hit& hit : document.searchResults())
            found += hit.pageIndex == page - 1 ? 1 : 0;
        EXPECT_EQ(found, expected) << "page " << page;
    }
    ASSERT_EQ(document.numberOfRows(), 5);
    EXPECT_EQ(document.objectValue(QStringLiteral("page"), 0), "1");
    EXPECT_EQ(document.objectValue(QStringLiteral("section"), 0), "");
    EXPECT_EQ(document.objectValue(QStringLiteral("section"), 4), "Chapter Two");
    EXPECT_EQ(document.objectValue(QStringLiteral("other"), 0), "");
    EXPECT_EQ(document.searchTable()->rowCount(), 5);
    EXPECT_EQ(document.searchProgress()->value(), 0) << "reset at the end";

    document.selectResult(4);
    EXPECT_EQ(document.pdfView()->selectedPage(), 2);
    EXPECT_EQ(document.pdfView()->currentPageIndex(), 2);
    EXPECT_EQ(document.pdfView()->selectedRect(), document.searchResults().at(4).rect);
    const int scrolled = document.pdfView()->verticalScrollBar()->value();
    document.selectResult(-1);
    EXPECT_EQ(document.pdfView()->verticalScrollBar()->value(), scrolled) << "no row: the view stays";
    platform::gui::saveGrab(&document, QStringLiteral("MyPDFDocument-search"));
}

TEST_F(MyPDFDocumentTest, KeyboardSearchStepsAndPages)
{
    MyPDFDocument document;
    ASSERT_TRUE(document.openFile(kManual));
    widget_tests::showAndSettle(&document);
    document.activateWindow();
    QTest::keyClick(&document, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(document.searchField()->hasFocus());
    QTest::keyClicks(document.searchField(), QStringLiteral("chapter"));
    QTest::keyClick(document.searchField(), Qt::Key_Return);
    ASSERT_TRUE(waitForSearch(document));
    ASSERT_EQ(document.numberOfRows(), 2);
    QTest::keyClick(document.searchField(), Qt::Key_Return);
    EXPECT_EQ(document.searchTable()->currentRow(), 0);
    QTest::keyClick(document.searchField(), Qt::Key_Return);
    EXPECT_EQ(document.searchTable()->currentRow(), 1);
    QTest::keyClick(document.searchField(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(document.searchTable()->currentRow(), 0);

    PdfPageView* view = document.pdfView();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_EQ(view->currentPageIndex(), 0);
    QTest::keyClick(view, Qt::Key_PageDown);
    EXPECT_EQ(view->currentPageIndex(), 1);
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_EQ(view->currentPageIndex(), 2);
    QTest::keyClick(view, Qt::Key_PageUp);
    EXPECT_EQ(view->currentPageIndex(), 1);
}

TEST_F(MyPDFDocumentTest, TwoUpKeepsContinuousScrolling)
{
    MyPDFDocument document;
    ASSERT_TRUE(document.openFile(kManual));
    PdfPageView* view = document.pdfView();
    struct Case {
        PdfPageView::DisplayMode from;
        bool twoUp;
        PdfPageView::DisplayMode to;
    } cases[] = {
        {PdfPageView::SinglePageContinuous, true, PdfPageView::TwoUpContinuous},
        {PdfPageView::TwoUpContinuous, false, PdfPageView::SinglePageContinuous},
        {PdfPageView::SinglePage, true, PdfPageView::TwoUp},
        {PdfPageView::TwoUp, false, PdfPageView::SinglePage},
        {PdfPageView::TwoUp, true, PdfPageView::TwoUp},
        {PdfPageView::SinglePage, false, PdfPageView::SinglePage},
    };
    for (const Case& c : cases) {
        view->setDisplayMode(c.from);
        c.twoUp ? document.displayTwoUp() : document.displaySinglePage();
        EXPECT_EQ(view->displayMode(), c.to) << c.from << c.twoUp;
    }
    view->setDisplayMode(PdfPageView::TwoUp);
    view->goToPage(1);
    EXPECT_EQ(view->rowSize(0), view->rowSize(1)) << "pages 1 and 2 share a row";
}

TEST_F(MyPDFDocumentTest, NoOutlineDamagedAndMissingFiles)
{
    MyPDFDocument plain;
    ASSERT_TRUE(plain.openFile(writePdf(folder.filePath(QStringLiteral("plain.pdf")), 2,
                                        [](int page) { return QStringLiteral("Page %1").arg(page + 1); })));
    EXPECT_EQ(plain.outlineView(), nullptr);
    ASSERT_NE(plain.noOutlineText(), nullptr);
    EXPECT_FALSE(plain.noOutlineText()->isHidden());
    plain.pdfView()->goToPage(1); // nothing to follow

    for (const QString& path :
         {QStringLiteral(MARVESTO_TEST_DATA "/damaged.pdf"), folder.filePath(QStringLiteral("missing.pdf")),
          QStringLiteral(MARVESTO_TEST_DATA "/../AboutPanelTest.cpp")}) {
        MyPDFDocument document;
        EXPECT_FALSE(document.openFile(path)) << path.toStdString();
        EXPECT_FALSE(document.messageLabel()->isHidden());
        EXPECT_EQ(document.messageLabel()->text(),
                  QStringLiteral("The document could not be opened.\n") + QFileInfo(path).fileName());
        EXPECT_TRUE(document.pdfView()->isHidden());
        document.doFind(QStringLiteral("x")); // nothing to search: no crash
        EXPECT_FALSE(document.isSearching());
    }
}

TEST_F(MyPDFDocumentTest, NewSearchCancelsTheRunningOneWithoutLateResults)
{
    MyPDFDocument document;
    ASSERT_TRUE(document.openFile(writePdf(folder.filePath(QStringLiteral("long.pdf")), 120, [](int page) {
        return page % 2 ? QStringLiteral("odd needle %1").arg(page) : QStringLiteral("even haystack %1").arg(page);
    })));
    int matchesOfFirst = 0;
    const quint64 first = document.search().generation() + 1;
    QObject::connect(&document.search(), &PdfSearch::matchFound, [&] {
        if (document.search().generation() == first)
            ++matchesOfFirst;
    });
    document.doFind(QStringLiteral("needle"));
    {
        testing_support::OutsideInputScope outside(0.002);
        runUntil([&] { return matchesOfFirst > 0; }, 10.0, 0.01);
    }
    document.doFind(QStringLiteral("haystack"));
    EXPECT_EQ(document.numberOfRows(), 0) << "the first search's results go when the second begins";
    ASSERT_TRUE(waitForSearch(document));
    EXPECT_EQ(document.numberOfRows(), 60);
    for (const PdfSearch::Hit& hit : document.searchResults())
        EXPECT_EQ(hit.pageIndex % 2, 0) << "no late result of the first search";
}

TEST_F(MyPDFDocumentTest, LongDocumentIsSearchedWithoutStallingTheWindow)
{
    const QString path = writePdf(folder.filePath(QStringLiteral("300.pdf")), 300,
                                  [](int page) { return QStringLiteral("Page %1 has a needle.").arg(page + 1); });
    testing_support::RealTimeScope realTime;
    MyPDFDocument document;
    ASSERT_TRUE(document.openFile(path));
    widget_tests::showAndSettle(&document);
    bool seenMeanwhile = false;
    testing_support::GuiGapProbe probe(
        [&] { seenMeanwhile = seenMeanwhile || (document.isSearching() && document.numberOfRows() > 0); });
    document.doFind(QStringLiteral("NEEDLE"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !document.isSearching(); }, 60000));
    probe.stop();
    EXPECT_EQ(document.numberOfRows(), 300);
    EXPECT_TRUE(seenMeanwhile) << "results appear while the search runs";
    EXPECT_LT(probe.longest(), testing_support::kGuiGapLimitMs) << "largest gap between 10 ms probe ticks, in ms";
    std::cout << "largest probe gap while searching 300 pages: " << probe.longest() << " ms" << std::endl;
}

} // namespace
