#include "MediaTestSupport.h"

#include "devicewindow/media/PreviewMatrix.h"
#include "widgets/ProgressCycle.h"

#include "TestFiles.h"
#include "VirtualTime.h"

#include <QDir>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

using media_test::FakeLoader;
using media_test::RecordingOwner;

namespace {

// A grid of 300 × 600 points with files whose local copies exist (names
// with "broken" hold no picture).
struct GridFixture {
    GridFixture()
    {
        loader.install();
        matrix.setBassisBrowserView(&owner);
        matrix.resize(302, 600);
        matrix.adjustMatrix();
    }
    ~GridFixture() { FakeLoader::restore(); }
    std::shared_ptr<ImageFile> add(const QString& name, bool video = false)
    {
        auto file = std::make_shared<ImageFile>(QStringLiteral("/PHONE/Pictures/") + name, 1000, video);
        const QString local = dir.filePath(name);
        QFile out(local);
        out.open(QIODevice::WriteOnly);
        out.write("x");
        out.close();
        file->setPreviewPath(local);
        matrix.addMediaData(file);
        return file;
    }
    // Runs the pump until its queue is empty.
    void pump() { testing_support::runUntil([&] { return !matrix.isRefreshRunning(); }, 30.0, 0.01); }
    QPoint centreOf(int index) const
    {
        return matrix.getMediaCell(index)->imageFrameForCellFrame(matrix.cellFrame(index)).center().toPoint();
    }

    FakeLoader loader;
    RecordingOwner owner;
    PreviewMatrix matrix;
    QTemporaryDir dir;
};

} // namespace

TEST(MediaPreviewGeometry, ThumbnailAreaFollowsTheLandscapeAndPortraitRules)
{
    struct Case {
        const char* what;
        QRectF cell;
        QSizeF picture;
        bool highCell;
        QRectF expected;
    };
    // Cell 100 × 107: ah = 75 (band 32), aw = 92; with band 8: ah = 99, aw = 124.
    const Case cases[] = {
        {"no picture", {0, 0, 100, 107}, {0, 0}, false, QRectF()},
        {"landscape 4:3", {0, 0, 100, 107}, {400, 300}, false, {4, 3, 92, 69}},
        {"landscape 2:1, offset cell", {10, 20, 100, 107}, {200, 100}, false, {14, 20 + 14.5, 92, 46}},
        {"portrait 3:4", {0, 0, 100, 107}, {300, 400}, false, {4 + (92 - 56.25) / 2, 0, 56.25, 75}},
        {"square counts as portrait", {0, 0, 100, 107}, {50, 50}, false, {4 + (92 - 75) / 2.0, 0, 75, 75}},
        {"high cell: narrow band", {0, 0, 100, 107}, {400, 300}, true, {-12, (99 - 93) / 2.0, 124, 93}},
    };
    for (const Case& c : cases) {
        const QRectF got = MediaPreviewCell::imageFrameForCellFrame(c.cell, c.picture, c.highCell);
        EXPECT_NEAR(got.x(), c.expected.x(), 1e-9) << c.what;
        EXPECT_NEAR(got.y(), c.expected.y(), 1e-9) << c.what;
        EXPECT_NEAR(got.width(), c.expected.width(), 1e-9) << c.what;
        EXPECT_NEAR(got.height(), c.expected.height(), 1e-9) << c.what;
    }
    EXPECT_EQ(MediaPreviewCell::ringSide(100), 30.0);
    EXPECT_NEAR(MediaPreviewCell::ringSide(230), 50.0, 1e-9);
}

TEST(MediaPreviewGrid, TheFourthFileStartsASecondRowAndCellsAreFourByThreePlusTheTitle)
{
    GridFixture f;
    EXPECT_EQ(f.matrix.maxCol(), 3);
    EXPECT_DOUBLE_EQ(f.matrix.cellSize().width(), 100.0);
    EXPECT_DOUBLE_EQ(f.matrix.cellSize().height(), 100.0 * 3 / 4 + 32);
    std::vector<std::shared_ptr<ImageFile>> files;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        files.push_back(f.add(QLatin1String(name)));
    EXPECT_EQ(f.matrix.numberOfRows(), 1);
    files.push_back(f.add(QStringLiteral("d.jpg")));
    EXPECT_EQ(f.matrix.numberOfRows(), 2) << "a row is added for the fourth file";
    EXPECT_EQ(f.matrix.getMediaCell(3)->mediaFile(), files[3]);
    EXPECT_EQ(f.matrix.cellFrame(3).topLeft(), QPointF(0, 108)) << "row 1, column 0";
    EXPECT_EQ(f.matrix.tagOfCell(3), files[3]->hash());
    EXPECT_EQ(f.matrix.getMediaCell(4), nullptr) << "beyond the files";

    f.matrix.removeAll();
    EXPECT_EQ(f.matrix.count(), 0);
    EXPECT_EQ(f.matrix.numberOfRows(), 1);
    EXPECT_FALSE(f.matrix.isRefreshRunning());
}

TEST(MediaPreviewGrid, ThePumpMakesOnePictureAtATimeAndABrokenFileIsTriedAgain)
{
    GridFixture f;
    auto good = f.add(QStringLiteral("a.jpg"));
    auto broken = f.add(QStringLiteral("broken.jpg"));
    auto video = f.add(QStringLiteral("broken.mp4"), true);
    EXPECT_EQ(f.loader.calls, 0) << "nothing is decoded while files are placed";
    f.matrix.grab();
    EXPECT_EQ(f.loader.calls, 0) << "nor while the cells are painted: the pump does it";
    platform::Clock::instance().advance(PreviewMatrix::kRefreshInterval);
    EXPECT_EQ(f.loader.calls, 1) << "one file per tick";
    f.pump();
    EXPECT_EQ(f.loader.calls, 3);
    EXPECT_EQ(f.loader.maxInFlight, 1) << "never two pictures in the making";

    EXPECT_TRUE(good->getCachedImage());
    EXPECT_FALSE(broken->getCachedImage()) << "a file that cannot be read keeps no picture";
    EXPECT_FALSE(video->getCachedImage());
    EXPECT_FALSE(f.matrix.getMediaCell(1)->image().isNull()) << "it shows the missing picture";
    EXPECT_EQ(f.matrix.getMediaCell(2)->timeString(), QString()) << "an unreadable video has no time strip";

    // The next refresh of the broken one tries again; the good one is cached.
    f.matrix.getMediaCell(0)->refreshCell();
    f.matrix.getMediaCell(1)->refreshCell();
    f.pump();
    EXPECT_EQ(f.loader.paths.mid(3), QStringList{f.dir.filePath(QStringLiteral("broken.jpg"))});
}

TEST(MediaPreviewGrid, RingMinusTwoRemovesWithoutReloadMinusOneReloadsZeroTurns)
{
    GridFixture f;
    auto file = f.add(QStringLiteral("a.jpg"));
    f.pump();
    auto cell = f.matrix.getMediaCell(0);
    const int loads = f.loader.calls;

    EXPECT_TRUE(cell->setProgress(0)) << "made now";
    ASSERT_TRUE(cell->progress());
    EXPECT_TRUE(cell->progress()->isIndeterminate());
    EXPECT_FALSE(cell->setProgress(40)) << "already there";
    EXPECT_FALSE(cell->progress()->isIndeterminate());
    EXPECT_EQ(cell->progress()->doubleValue(), 40.0);

    auto shared = cell->copy();
    EXPECT_EQ(shared->progress(), cell->progress()) << "a copy shares the ring";
    EXPECT_EQ(shared->mediaFile(), file);

    EXPECT_TRUE(cell->setProgress(-2));
    EXPECT_EQ(cell->progress(), nullptr);
    f.pump();
    EXPECT_EQ(f.loader.calls, loads) << "-2 does not reload";

    file->setCachedImage(std::nullopt);
    cell->setProgress(0);
    EXPECT_TRUE(cell->setProgress(-1));
    EXPECT_FALSE(cell->setProgress(-1)) << "no ring left";
    f.pump();
    EXPECT_GT(f.loader.calls, loads) << "-1 reloads the preview";
}

TEST(MediaPreviewGrid, ClicksSelectAsTheModifiersSayAndMissesDeselect)
{
    GridFixture f;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"})
        f.add(QLatin1String(name));
    f.pump();
    using Set = std::set<int>;
    QTest::mouseClick(&f.matrix, Qt::LeftButton, {}, f.centreOf(1));
    EXPECT_EQ(f.matrix.selectedIndexes(), Set{1});
    QTest::mouseClick(&f.matrix, Qt::LeftButton, Qt::ControlModifier, f.centreOf(3));
    EXPECT_EQ(f.matrix.selectedIndexes(), (Set{1, 3}));
    QTest::mouseClick(&f.matrix, Qt::LeftButton, {}, f.centreOf(1));
    EXPECT_EQ(f.matrix.selectedIndexes(), (Set{1, 3})) << "a selected cell keeps the selection for a drag";
    QTest::mouseClick(&f.matrix, Qt::LeftButton, Qt::ShiftModifier, f.centreOf(4));
    EXPECT_EQ(f.matrix.selectedIndexes(), (Set{3, 4})) << "from the anchor to the clicked cell";

    // Inside the cell but in its title band: outside the picture.
    const QRectF frame = f.matrix.cellFrame(0);
    QTest::mouseClick(&f.matrix, Qt::LeftButton, {}, QPoint(int(frame.center().x()), int(frame.bottom() - 4)));
    EXPECT_TRUE(f.matrix.selectedIndexes().empty());
    f.matrix.selectCells({0, 2});
    QTest::mouseClick(&f.matrix, Qt::LeftButton, {}, f.matrix.cellFrame(5).center().toPoint());
    EXPECT_TRUE(f.matrix.selectedIndexes().empty()) << "an empty cell";
    EXPECT_FALSE(f.owner.previews.empty());
    EXPECT_TRUE(std::all_of(f.owner.previews.begin(), f.owner.previews.end(), [](bool on) { return !on; }))
        << "the owner is told NO before every mouse-down";

    // Keyboard: arrows, Shift+arrows, Ctrl+A, Delete.
    QTest::mouseClick(&f.matrix, Qt::LeftButton, {}, f.centreOf(0));
    QTest::keyClick(&f.matrix, Qt::Key_Right);
    EXPECT_EQ(f.matrix.selectedIndexes(), Set{1});
    QTest::keyClick(&f.matrix, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(f.matrix.selectedIndexes(), (Set{1, 2, 3, 4}));
    QTest::keyClick(&f.matrix, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(f.matrix.selectedIndexes(), (Set{0, 1, 2, 3, 4}));
    QTest::keyClick(&f.matrix, Qt::Key_Delete);
    EXPECT_EQ(f.owner.removeCalls, 1);
    f.matrix.deselectAllCells();
    QTest::keyClick(&f.matrix, Qt::Key_Delete);
    EXPECT_EQ(f.owner.removeCalls, 1) << "nothing selected, nothing removed";
}

TEST(MediaPreviewGrid, RubberBandSelectsTheCellsItSpans)
{
    GridFixture f;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"})
        f.add(QLatin1String(name));
    f.pump();
    // From the title band of cell 0 (no picture there) to the middle of cell 4.
    const QPoint start(int(f.matrix.cellFrame(0).center().x()), int(f.matrix.cellFrame(0).bottom() - 4));
    QTest::mousePress(&f.matrix, Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, f.centreOf(4), f.matrix.mapToGlobal(f.centreOf(4)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(&f.matrix, &move);
    EXPECT_TRUE(f.matrix.isInTrack());
    EXPECT_EQ(f.matrix.selectedIndexes(), (std::set<int>{0, 1, 3, 4}));
    QTest::mouseRelease(&f.matrix, Qt::LeftButton, {}, f.centreOf(4));
    EXPECT_FALSE(f.matrix.isInTrack());
}

TEST(MediaPreviewGrid, ADragCarriesTheWholeSelectionAsSafeCopiesThatGoAfterwards)
{
    GridFixture f;
    auto second = f.add(QStringLiteral("b.jpg"));
    f.add(QStringLiteral("c.jpg"));
    // A name from the phone that would leave its folder.
    auto sneaky = std::make_shared<ImageFile>(QStringLiteral("/PHONE/Pictures/.."), 1, false);
    sneaky->setPreviewPath(second->previewPath());
    f.matrix.addMediaData(sneaky);
    f.pump();
    f.matrix.selectCells({0, 1, 2});

    QList<QUrl> urls;
    QStringList phonePaths;
    QImage pixmap;
    setPreviewMatrixDragRunner([&](QDrag& drag) {
        urls = drag.mimeData()->urls();
        phonePaths = FileDragAndDrop::phonePathsOf(drag.mimeData());
        pixmap = drag.pixmap().toImage();
        return Qt::CopyAction;
    });
    QTest::mousePress(&f.matrix, Qt::LeftButton, {}, f.centreOf(1));
    QMouseEvent move(QEvent::MouseMove, f.centreOf(1) + QPoint(30, 0), QPointF(), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(&f.matrix, &move);
    {
        testing_support::OutsideInputScope worker;
        testing_support::runUntil([&] { return !f.matrix.isPreparingDrag(); }, 10.0, 0.01);
    }
    setPreviewMatrixDragRunner({});

    ASSERT_EQ(urls.size(), 3) << "a drag from a selected cell drags all of them";
    EXPECT_EQ(phonePaths.size(), 3);
    EXPECT_FALSE(pixmap.isNull());
    const QString root = FileDragAndDrop::dragRoot();
    for (const QUrl& url : urls) {
        const QString path = url.toLocalFile();
        EXPECT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
        EXPECT_TRUE(QFileInfo(path).absolutePath().startsWith(root)) << "inside the drag folder";
        EXPECT_EQ(QFileInfo(path).dir().dirName().left(5), QStringLiteral("drag-"));
    }
    // The badge carries the count: the picture differs from a drag of one.
    EXPECT_NE(f.matrix.getDragImage(1, 3), f.matrix.getDragImage(1, 1));

    platform::Clock::instance().advance(FileDragAndDrop::kDragFolderGrace + 1);
    for (const QUrl& url : urls)
        EXPECT_FALSE(QFileInfo::exists(url.toLocalFile())) << "the copies go after the drag";
    EXPECT_EQ(f.matrix.getDragDropFlags(), 33);
    f.owner.history = true;
    EXPECT_EQ(f.matrix.getDragDropFlags(), 1);
    EXPECT_EQ(f.matrix.draggingSourceOperationMaskForLocal(true), 0);

    // At quit whatever is left goes too.
    f.owner.history = false;
    QStringList left;
    f.owner.dnd->makeDragCopies({{second->previewPath(), QStringLiteral("left.jpg")}}, &f.matrix,
                                [&](const QStringList& made) { left = made; });
    {
        testing_support::OutsideInputScope worker;
        testing_support::runUntil([&] { return f.owner.dnd->copiesInProgress() == 0; }, 10.0, 0.01);
    }
    ASSERT_EQ(left.size(), 1);
    FileDragAndDrop::removeAllDragCopies();
    EXPECT_FALSE(QFileInfo::exists(left.first()));
}

// A drag of a large video: the copy is made while the window keeps working,
// and the drag starts with the whole file; a button let go meanwhile starts
// no drag; a helper that goes stops its copy and leaves no folder.
TEST(MediaPreviewGrid, ALargeDragIsCopiedWhileTheWindowWorksAndDraggedWhole)
{
    GridFixture f;
    auto video = f.add(QStringLiteral("big.mp4"), true);
    {
        QFile big(video->previewPath());
        ASSERT_TRUE(big.open(QIODevice::ReadWrite));
        ASSERT_TRUE(big.resize(48 << 20));
        big.seek(big.size() - 4);
        big.write("tail");
    }
    f.pump();
    const qint64 size = QFileInfo(video->previewPath()).size();
    const auto drag = [&] {
        f.matrix.selectCells({0});
        QTest::mousePress(&f.matrix, Qt::LeftButton, {}, f.centreOf(0));
        QMouseEvent move(QEvent::MouseMove, f.centreOf(0) + QPoint(30, 0), QPointF(), Qt::NoButton, Qt::LeftButton,
                         {});
        QApplication::sendEvent(&f.matrix, &move);
    };
    const auto settle = [&] {
        testing_support::OutsideInputScope worker;
        return testing_support::runUntil([&] { return !f.matrix.isPreparingDrag(); }, 30.0, 0.01);
    };
    const auto dragFolders = [] {
        return QDir(FileDragAndDrop::dragRoot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    };

    int drags = 0;
    qint64 draggedSize = -1;
    QByteArray draggedTail;
    setPreviewMatrixDragRunner([&](QDrag& running) {
        ++drags;
        QFile copy(running.mimeData()->urls().value(0).toLocalFile());
        draggedSize = copy.size();
        if (copy.open(QIODevice::ReadOnly) && copy.seek(copy.size() - 4))
            draggedTail = copy.read(4);
        return Qt::CopyAction;
    });
    drag();
    EXPECT_EQ(drags, 0) << "the mouse event returns before the copy is made";
    EXPECT_TRUE(f.matrix.isPreparingDrag());
    ASSERT_TRUE(settle());
    EXPECT_EQ(drags, 1);
    EXPECT_EQ(draggedSize, size) << "the drag carries the whole file";
    EXPECT_EQ(draggedTail, QByteArray("tail"));
    QTest::mouseRelease(&f.matrix, Qt::LeftButton, {}, f.centreOf(0));

    // Let go before the copy is whole: no drag, and the copy goes later.
    drag();
    QTest::mouseRelease(&f.matrix, Qt::LeftButton, {}, f.centreOf(0) + QPoint(30, 0));
    ASSERT_TRUE(settle());
    EXPECT_EQ(drags, 1) << "no drag once the button is up";
    const QStringList unused = f.matrix.lastDragCopies();
    ASSERT_EQ(unused.size(), 1);
    platform::Clock::instance().advance(FileDragAndDrop::kDragFolderGrace + 1);
    EXPECT_FALSE(QFileInfo::exists(unused.first()));

    // The helper goes while it copies: the grid hears of it, nothing stays.
    const QStringList before = dragFolders();
    drag();
    f.owner.dnd = std::make_unique<FileDragAndDrop>(nullptr);
    ASSERT_TRUE(settle());
    EXPECT_EQ(drags, 1);
    {
        testing_support::OutsideInputScope worker;
        EXPECT_TRUE(testing_support::runUntil([&] { return dragFolders() == before; }, 5.0, 0.01))
            << "the stopped copy leaves no folder";
    }
    QTest::mouseRelease(&f.matrix, Qt::LeftButton, {}, f.centreOf(0));
    setPreviewMatrixDragRunner({});
}

TEST(MediaPreviewGrid, DropsTakeOnlyPicturesAndVideosAndNeverOnASnapshot)
{
    GridFixture f;
    QTemporaryDir desk;
    const auto make = [&](const char* name) {
        const QString path = desk.filePath(QLatin1String(name));
        QFile out(path);
        out.open(QIODevice::WriteOnly);
        out.write("x");
        return QUrl::fromLocalFile(path);
    };
    QMimeData foreign;
    foreign.setUrls({make("a.txt"), make("b.doc")});
    QMimeData mixed;
    mixed.setUrls({make("c.txt"), make("d.JPG"), make("e.mp4")});

    EXPECT_EQ(f.matrix.draggingEntered(&foreign, nullptr, Qt::CopyAction), Qt::IgnoreAction) << "refused on entry";
    EXPECT_FALSE(f.matrix.isDragHighlighted());
    EXPECT_EQ(f.matrix.draggingEntered(&mixed, &f.matrix, Qt::CopyAction), Qt::IgnoreAction) << "from itself";
    EXPECT_EQ(f.matrix.draggingEntered(&mixed, nullptr, Qt::MoveAction), Qt::IgnoreAction) << "no copy or link";
    f.owner.history = true;
    EXPECT_EQ(f.matrix.draggingEntered(&mixed, nullptr, Qt::CopyAction), Qt::IgnoreAction) << "onto a snapshot";
    EXPECT_FALSE(f.matrix.performDragOperation(&mixed, nullptr, Qt::CopyAction));
    EXPECT_TRUE(f.owner.imported.isEmpty());
    f.owner.history = false;

    EXPECT_EQ(f.matrix.draggingEntered(&mixed, nullptr, Qt::CopyAction | Qt::LinkAction), Qt::LinkAction);
    EXPECT_TRUE(f.matrix.isDragHighlighted());
    EXPECT_TRUE(f.matrix.performDragOperation(&mixed, nullptr, Qt::CopyAction));
    EXPECT_FALSE(f.matrix.isDragHighlighted());
    EXPECT_EQ(f.owner.imported, (QStringList{desk.filePath("d.JPG"), desk.filePath("e.mp4")}));
    f.owner.imported.clear();
    EXPECT_TRUE(f.matrix.performDragOperation(&foreign, nullptr, Qt::CopyAction));
    EXPECT_TRUE(f.owner.imported.isEmpty());

    // A tab of sounds takes sounds, not pictures.
    f.owner.dropFilter = QStringList{QStringLiteral("mp3")};
    QMimeData sounds;
    sounds.setUrls({make("f.MP3"), make("g.jpg")});
    EXPECT_EQ(f.matrix.draggingEntered(&mixed, nullptr, Qt::CopyAction), Qt::IgnoreAction);
    EXPECT_TRUE(f.matrix.performDragOperation(&sounds, nullptr, Qt::CopyAction));
    EXPECT_EQ(f.owner.imported, QStringList{desk.filePath("f.MP3")});
}
