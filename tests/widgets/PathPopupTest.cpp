#include "widgets/PathPopup.h"
#include "widgets/ButtonPathPopup.h"
#include "widgets/ButtonPopup.h"
#include "widgets/PathMenu.h"

#include "WidgetTestSupport.h"

#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QStringList titles(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* item : menu->actions())
        texts.append(item->text());
    return texts;
}

QStringList paths(const QMenu* menu)
{
    QStringList result;
    for (const QAction* item : menu->actions())
        result.append(pathmenu::pathUntil(menu, item));
    return result;
}

TEST(PathMenuTest, BuildsDeepestFirstAndGivesPathsBack)
{
    struct Case {
        const char* path;
        QStringList titles;
        QStringList paths;
    } cases[] = {
        {"", {}, {}},
        {"Phone", {"Phone"}, {"/"}},
        {"Phone/Folder/Sub", {"Sub", "Folder", "Phone"}, {"/Folder/Sub", "/Folder", "/"}},
        // Empty components (a leading, doubled or trailing slash) are skipped.
        {"/Phone/Folder", {"Folder", "Phone"}, {"/Folder", "/"}},
        {"Phone//Folder/", {"Folder", "Phone"}, {"/Folder", "/"}},
        {"/", {}, {}},
    };
    for (const Case& c : cases) {
        QMenu menu;
        menu.addAction(QStringLiteral("template"))->setCheckable(true);
        pathmenu::setPath(&menu, QLatin1String(c.path));
        EXPECT_EQ(titles(&menu), c.titles) << c.path;
        EXPECT_EQ(paths(&menu), c.paths) << c.path;
        for (const QAction* item : menu.actions()) {
            EXPECT_TRUE(item->isCheckable()) << "a copy of the template";
            EXPECT_FALSE(item->icon().isNull());
            EXPECT_EQ(item->icon().availableSizes().value(0), QSize(16, 16));
        }
    }
}

TEST(PathMenuTest, PhoneItemCarriesThePhoneIconOthersTheFolderIcon)
{
    QMenu menu;
    pathmenu::setPath(&menu, QStringLiteral("Phone/Folder/Sub"));
    const QList<QAction*> items = menu.actions();
    ASSERT_EQ(items.size(), 3);
    const QImage sub = items[0]->icon().pixmap(16, 16).toImage();
    EXPECT_EQ(sub, items[1]->icon().pixmap(16, 16).toImage());
    EXPECT_NE(sub, items[2]->icon().pixmap(16, 16).toImage());
}

TEST(PathMenuTest, ItemNotInMenuGivesAllTitlesButThePhone)
{
    QMenu menu;
    pathmenu::setPath(&menu, QStringLiteral("Phone/Folder/Sub"));
    QAction stranger(QStringLiteral("Stranger"));
    EXPECT_EQ(pathmenu::pathUntil(&menu, &stranger), "/Folder/Sub");
    EXPECT_EQ(pathmenu::pathUntil(&menu, nullptr), "/Folder/Sub");
    QMenu empty;
    EXPECT_EQ(pathmenu::pathUntil(&empty, &stranger), "");
}

TEST(PathPopupTest, SelectedItemGivesItsPath)
{
    PathPopup popup;
    popup.setPath(QStringLiteral("Phone/Music/Rock"));
    EXPECT_EQ(popup.text(), "Rock");
    EXPECT_EQ(popup.getPathUntilSelectedItem(), "/Music/Rock");
    QAction* music = popup.menu()->actions().at(1);
    EXPECT_FALSE(music->isChecked());
    music->trigger();
    EXPECT_EQ(popup.selectedItem(), music);
    EXPECT_TRUE(music->isChecked());
    EXPECT_FALSE(popup.menu()->actions().at(0)->isChecked());
    EXPECT_EQ(popup.getPathUntilSelectedItem(), "/Music");

    // A rebuild from a checked first item starts with no other item checked.
    popup.setPath(QStringLiteral("Phone/A/B"));
    int checked = 0;
    for (const QAction* item : popup.menu()->actions())
        checked += item->isChecked() ? 1 : 0;
    EXPECT_EQ(checked, 1);
    EXPECT_EQ(popup.getPathUntilSelectedItem(), "/A/B");
}

TEST(ButtonPathPopupTest, TakesTheFormsMenuAndOpensOnKeys)
{
    QWidget window;
    auto* button = new ButtonPathPopup(&window);
    auto* formMenu = new QMenu(button);
    formMenu->addAction(QStringLiteral("item"));
    button->awakeFromNib();
    EXPECT_EQ(button->pathMenu(), formMenu);
    button->setPath(QStringLiteral("Phone/Folder"));
    EXPECT_EQ(button->getPathUntil(formMenu->actions().at(0)), "/Folder");
    widget_tests::showAndSettle(&window);

    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool opens;
    } cases[] = {
        {Qt::Key_Space, Qt::NoModifier, true},
        {Qt::Key_Down, Qt::AltModifier, true},
        {Qt::Key_Down, Qt::NoModifier, false},
    };
    for (const Case& c : cases) {
        formMenu->hide();
        QTest::keyClick(button, c.key, c.modifiers);
        EXPECT_EQ(formMenu->isVisible(), c.opens) << int(c.key);
    }
    formMenu->hide();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(formMenu->isVisible());
    formMenu->hide();

    ButtonPopup bare(&window);
    EXPECT_FALSE(bare.popUpMenu());
}

} // namespace
