// How long the GUI thread is held while the pane takes 500 contacts, sorts
// and searches them. The figures are printed; the limits only catch a pane
// that stalls for seconds (the build may be a sanitized debug one on a busy
// machine).
#include "ContactsViewTestSupport.h"

#include <QElapsedTimer>
#include <QLineEdit>

#include <cstdio>

using namespace contactsviewtest;

TEST_F(ContactsViewFixture, FiveHundredContactsLoadSortAndSearchInShortSteps)
{
    QVariantList texts;
    for (int i = 0; i < 500; ++i)
        texts << personCard(QStringLiteral("Last%1").arg(i, 3, 10, QLatin1Char('0')),
                      QStringLiteral("First%1").arg(i, 3, 10, QLatin1Char('0')));
    QElapsedTimer clock;
    clock.start();
    archive->importVCards(texts, 0);
    const qint64 read = clock.restart();
    pane->updateContent();
    const qint64 shown = clock.restart();
    pane->didClickTableColumn(*pane->itemsView(), OrganizerContactsView::kTitleColumn);
    const qint64 sorted = clock.restart();
    pane->searchField()->setText(QStringLiteral("First49"));
    const qint64 searched = clock.restart();
    std::printf("500 contacts: list read %lld ms, table shown %lld ms, sorted %lld ms, searched %lld ms\n",
                static_cast<long long>(read), static_cast<long long>(shown), static_cast<long long>(sorted),
                static_cast<long long>(searched));
    EXPECT_EQ(list()->allCount(), 500);
    EXPECT_EQ(list()->count_cs(), 10);   // First490 to First499
    EXPECT_LT(shown, 5000);
    EXPECT_LT(sorted, 5000);
    EXPECT_LT(searched, 5000);
}

TEST_F(ContactsViewFixture, ASearchOverFiveThousandContactsUpdatesTheTableInOneShortStep)
{
    QVariantList texts;
    for (int i = 0; i < 5000; ++i)
        texts << personCard(QStringLiteral("Name%1").arg(i, 4, 10, QLatin1Char('0')),
                      QStringLiteral("Given%1").arg(i, 4, 10, QLatin1Char('0')));
    archive->importVCards(texts, 0);
    pane->updateContent();
    ASSERT_EQ(list()->allCount(), 5000);

    QElapsedTimer clock;
    clock.start();
    pane->searchField()->setText(QStringLiteral("Given123"));
    const qint64 narrowed = clock.restart();
    EXPECT_EQ(list()->count_cs(), 10);   // Given1230 to Given1239
    pane->searchField()->setText(QString());
    const qint64 cleared = clock.restart();
    EXPECT_EQ(list()->count_cs(), 5000);
    std::printf("5,000 contacts: search narrowed the table in %lld ms, cleared it in %lld ms\n",
                static_cast<long long>(narrowed), static_cast<long long>(cleared));
    EXPECT_LT(narrowed, 5000);
    EXPECT_LT(cleared, 5000);
}
