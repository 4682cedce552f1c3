#include "kestrova/views/SLTMessageInputView.h"
#include "platform/NotificationCenter.h"
#include "platform/gui/Animation.h"
#include "platform/gui/TestArtifacts.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

const QString kZhe = QStringLiteral("\u0436");
const QString kGrin = QStringLiteral("\U0001F600");

QString as(int count)
{
    return QString(count, QLatin1Char('a'));
}

// A compose field in a shown window, with the notifications and beeps it
// gives counted.
class ComposeField : public ::testing::Test {
protected:
    void SetUp() override
    {
        view.resize(420, 220);
        view.show();
        QApplication::setActiveWindow(&view);
        view.getTextView()->setFocus();
        token = platform::NotificationCenter::defaultCenter().addObserver(
            this, kQVSMSKitMessageViewNoMoreCharactersAllowed, view.getTextView(),
            [this](const platform::Notification&) { ++noMoreCharacters; });
        platform::gui::setBeepHandler([this] { ++beeps; });
    }
    void TearDown() override
    {
        platform::gui::setBeepHandler({});
        platform::NotificationCenter::defaultCenter().removeObserver(token);
    }

    QString freeText() const { return view.findChild<QLabel*>(QStringLiteral("charCountField"))->text(); }
    QString partText() const { return view.findChild<QLabel*>(QStringLiteral("partCountField"))->text(); }
    // Key presses carrying the text, one per character (QTest's own key
    // clicks take Latin 1 only).
    void type(const QString& text)
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype n = text[i].isHighSurrogate() ? 2 : 1;
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text.mid(i, n));
            QApplication::sendEvent(view.getTextView(), &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, text.mid(i, n));
            QApplication::sendEvent(view.getTextView(), &release);
            i += n - 1;
        }
    }
    void typeAtEnd(const QString& text)
    {
        view.getTextView()->moveCursor(QTextCursor::End);
        type(text);
    }
    void pasteAt(int position, const QString& text)
    {
        QTextCursor cursor = view.getTextView()->textCursor();
        cursor.setPosition(position);
        view.getTextView()->setTextCursor(cursor);
        QApplication::clipboard()->setText(text);
        view.getTextView()->paste();
    }

    SLTMessageInputView view;
    platform::NotificationCenter::Token token = 0;
    int noMoreCharacters = 0;
    int beeps = 0;
};

} // namespace

TEST_F(ComposeField, CountersFollowTheText)
{
    struct {
        const char* name;
        QString text;
        bool greek;
        const char* free;
        const char* parts;
        bool ucs2;
    } const cases[] = {
        {"empty", QString(), false, "160", "1", false},
        {"160 GSM", as(160), false, "0", "1", false},
        {"161 GSM", as(161), false, "145", "2", false},
        {"70 with UCS2", kZhe + as(69), false, "0", "1", true},
        {"71 with UCS2", kZhe + as(70), false, "63", "2", true},
        {"Spanish letter", QStringLiteral("\u00E1") + as(150), false, "3", "1", false},
        {"escape pair at the boundary", as(152) + QStringLiteral("\u20AC") + as(152), false, "152", "3", false},
        {"Greek substituted", QStringLiteral("\u03B1\u03B2"), true, "158", "1", false},
        {"Greek kept", QStringLiteral("\u03B1\u03B2"), false, "68", "1", true},
    };
    for (const auto& c : cases) {
        view.setUseGreekSubstitution(c.greek);
        view.setMessageText(c.text);
        EXPECT_EQ(view.messageText(), c.text) << c.name;
        EXPECT_EQ(freeText(), QLatin1String(c.free)) << c.name;
        EXPECT_EQ(partText(), QLatin1String(c.parts)) << c.name;
        EXPECT_EQ(view.numParts(), partText().toInt()) << c.name;
        EXPECT_EQ(view.specialCharsEnabled(), c.ucs2) << c.name;
    }
    EXPECT_EQ(noMoreCharacters, 0);
    EXPECT_EQ(beeps, 0);
}

TEST_F(ComposeField, SinglePartTakesBackTheCharacterTooMany)
{
    view.setSinglePart(true);
    view.setMessageText(as(159));
    typeAtEnd(QStringLiteral("b"));
    EXPECT_EQ(view.messageText(), as(159) + QLatin1Char('b'));
    EXPECT_EQ(noMoreCharacters, 0);

    typeAtEnd(QStringLiteral("c"));
    EXPECT_EQ(view.messageText(), as(159) + QLatin1Char('b'));
    EXPECT_EQ(noMoreCharacters, 1);
    EXPECT_EQ(freeText(), QStringLiteral("0"));
    EXPECT_EQ(view.numParts(), 1);

    // Typed in the middle, the new character goes, not the last one.
    QTextCursor cursor = view.getTextView()->textCursor();
    cursor.setPosition(3);
    view.getTextView()->setTextCursor(cursor);
    type(QStringLiteral("x"));
    EXPECT_EQ(view.messageText(), as(159) + QLatin1Char('b'));
    EXPECT_EQ(view.getTextView()->textCursor().position(), 3);
    EXPECT_EQ(noMoreCharacters, 2);

    // An escaped character needs two septets: 159 + 2 does not fit.
    view.setMessageText(as(159));
    typeAtEnd(QStringLiteral("\u20AC"));
    EXPECT_EQ(view.messageText(), as(159));
    EXPECT_EQ(beeps, 0);

    // Return is a line feed, one septet: the first fits, the second not.
    QTest::keyClick(view.getTextView(), Qt::Key_Return);
    QTest::keyClick(view.getTextView(), Qt::Key_Return);
    EXPECT_EQ(view.messageText(), as(159) + QLatin1Char('\n'));
    EXPECT_EQ(noMoreCharacters, 4);
}

TEST_F(ComposeField, TakingBackIsNoUndoStepOfItsOwn)
{
    view.setSinglePart(true);
    view.setMessageText(as(159));
    typeAtEnd(QStringLiteral("b"));
    typeAtEnd(QStringLiteral("c"));
    ASSERT_EQ(view.messageText(), as(159) + QLatin1Char('b'));
    view.getTextView()->undo();
    EXPECT_EQ(view.messageText(), as(159));
    EXPECT_EQ(freeText(), QStringLiteral("1"));
}

TEST_F(ComposeField, UnicodeNotAllowedBeepsAndTakesItBack)
{
    view.setSpecialCharsAllowed(false);
    view.setMessageText(QStringLiteral("hello"));
    typeAtEnd(kZhe);
    EXPECT_EQ(view.messageText(), QStringLiteral("hello"));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(noMoreCharacters, 0);
    EXPECT_FALSE(view.specialCharsEnabled());

    // A paste keeps what comes before its first UCS2-only character.
    pasteAt(5, QStringLiteral(" world ") + kZhe + QStringLiteral(" more"));
    EXPECT_EQ(view.messageText(), QStringLiteral("hello world "));
    EXPECT_EQ(beeps, 2);

    view.setSpecialCharsAllowed(true);
    typeAtEnd(kZhe);
    EXPECT_EQ(view.messageText(), QStringLiteral("hello world ") + kZhe);
    EXPECT_TRUE(view.specialCharsEnabled());
}

TEST_F(ComposeField, PasteIsCutToTheLastWholeCharacterThatFits)
{
    view.setMessageText(QString());
    pasteAt(0, QString(2000, QLatin1Char('g')));
    EXPECT_EQ(view.messageText(), QString(1530, QLatin1Char('g')));
    EXPECT_EQ(view.numParts(), 10);
    EXPECT_EQ(freeText(), QStringLiteral("0"));
    EXPECT_EQ(noMoreCharacters, 1);

    // An emoji across the UCS2 limit is dropped whole.
    view.setMessageText(kZhe.repeated(660));
    pasteAt(660, QStringLiteral("abcdefghi") + kGrin);
    EXPECT_EQ(view.messageText(), kZhe.repeated(660) + QStringLiteral("abcdefghi"));
    EXPECT_EQ(noMoreCharacters, 2);

    // An escaped character across the GSM limit is dropped whole too.
    view.setMessageText(as(1520));
    pasteAt(1520, QStringLiteral("bbbbbbbbb\u20AC"));
    EXPECT_EQ(view.messageText(), as(1520) + QStringLiteral("bbbbbbbbb"));

    // Pasted into the middle, the text after it stays.
    view.setMessageText(QStringLiteral("start end"));
    pasteAt(6, QString(3000, QLatin1Char('p')));
    EXPECT_EQ(view.messageText(), QStringLiteral("start ") + QString(1521, QLatin1Char('p')) + QStringLiteral("end"));
}

TEST_F(ComposeField, AMegabyteIsCutWithoutStalling)
{
    QElapsedTimer timer;
    timer.start();
    pasteAt(0, QString(1 << 20, QLatin1Char('m')));
    EXPECT_EQ(view.messageText(), QString(1530, QLatin1Char('m')));
    view.setMessageText(kZhe.repeated(1 << 20));
    EXPECT_EQ(view.messageText(), kZhe.repeated(670));
    EXPECT_LT(timer.elapsed(), 5000);
}

TEST_F(ComposeField, ADraftLongerThanTheLimitsIsCut)
{
    view.setMessageText(as(200));
    view.setSinglePart(true);
    view.setMessageText(view.messageText());
    EXPECT_EQ(view.messageText(), as(160));
    // Deleting from a text the new limits no longer take keeps its beginning.
    view.setSinglePart(false);
    view.setMessageText(as(200));
    view.setSinglePart(true);
    view.getTextView()->moveCursor(QTextCursor::End);
    QTest::keyClick(view.getTextView(), Qt::Key_Backspace);
    EXPECT_EQ(view.messageText(), as(160));
}

TEST_F(ComposeField, LayoutAndKeyboard)
{
    const auto* box = view.findChild<QCheckBox*>(QStringLiteral("spellCheck"));
    const auto* free = view.findChild<QLabel*>(QStringLiteral("charCountField"));
    const auto* line = view.findChild<QFrame*>(QStringLiteral("line"));
    QTextEdit* text = view.getTextView();
    EXPECT_EQ(box->geometry().left(), 10);
    EXPECT_EQ(view.height() - 1 - box->geometry().bottom(), 10);
    EXPECT_TRUE(free->isVisible());
    EXPECT_EQ(text->geometry().topLeft(), QPoint(10, 10));
    EXPECT_EQ(text->width(), view.width() - 20);
    EXPECT_LT(text->geometry().bottom(), line->geometry().top());
    EXPECT_LT(line->geometry().bottom(), free->geometry().top());
    // The counter row is centred unless the box is in the way.
    const auto* label = view.findChild<QLabel*>(QStringLiteral("charCountLabel"));
    const auto* parts = view.findChild<QLabel*>(QStringLiteral("partCountField"));
    const int rowCentre = (label->geometry().left() + parts->geometry().right()) / 2;
    EXPECT_TRUE(qAbs(rowCentre - view.width() / 2) <= 2 || label->geometry().left() == box->geometry().right() + 11);

    view.resize(300, 140);
    EXPECT_FALSE(free->isVisible());
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(text->geometry(), QRect(10, 10, 280, 120));
    view.resize(420, 220);

    // Tab leaves the text for the box (with a checker installed) and inserts
    // nothing; Shift+Tab comes back.
    view.setSpellChecker([](const QString&) { return QList<std::pair<int, int>>(); });
    view.setMessageText(QStringLiteral("hi"));
    text->setFocus();
    ASSERT_TRUE(text->hasFocus());
    QTest::keyClick(text, Qt::Key_Tab);
    EXPECT_EQ(view.messageText(), QStringLiteral("hi"));
    EXPECT_TRUE(box->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(text->hasFocus());
}

TEST_F(ComposeField, AccessibleCounters)
{
    view.setMessageText(as(161));
    EXPECT_EQ(view.findChild<QLabel*>(QStringLiteral("charCountField"))->accessibleName(),
              QStringLiteral("Characters left"));
    EXPECT_EQ(view.findChild<QLabel*>(QStringLiteral("partCountField"))->accessibleName(), QStringLiteral("Parts"));
    EXPECT_EQ(view.getTextView()->accessibleDescription(), QStringLiteral("Characters left 145, Parts 2"));
    EXPECT_FALSE(view.getTextView()->accessibleName().isEmpty());
    EXPECT_EQ(view.findChild<QCheckBox*>(QStringLiteral("spellCheck"))->text(), QStringLiteral("Check spelling"));
    // "labelPartCount2" has no text of its own: no second label.
    EXPECT_EQ(view.findChild<QLabel*>(QStringLiteral("partCountLabel2")), nullptr);
    platform::gui::saveGrab(&view, QStringLiteral("SLTMessageInputView-161"));
}

TEST_F(ComposeField, SpellChecking)
{
    auto* box = view.findChild<QCheckBox*>(QStringLiteral("spellCheck"));
    EXPECT_FALSE(box->isEnabled());
    EXPECT_EQ(box->toolTip(), QStringLiteral("Spell checking is not available"));
    view.setSpellCheckEnabled(true);
    EXPECT_TRUE(view.spellCheckEnabled());
    EXPECT_TRUE(view.getTextView()->extraSelections().isEmpty());

    view.setSpellChecker([](const QString& text) {
        QList<std::pair<int, int>> ranges;
        for (qsizetype at = text.indexOf(QStringLiteral("teh")); at >= 0; at = text.indexOf(QStringLiteral("teh"), at + 1))
            ranges.append({int(at), 3});
        ranges.append({int(text.size()) - 1, 5}); // past the end: ignored
        return ranges;
    });
    EXPECT_TRUE(box->isEnabled());
    EXPECT_TRUE(box->toolTip().isEmpty());
    view.setMessageText(QStringLiteral("see teh cat"));
    auto marks = view.getTextView()->extraSelections();
    ASSERT_EQ(marks.size(), 1);
    EXPECT_EQ(marks[0].cursor.selectedText(), QStringLiteral("teh"));
    EXPECT_EQ(marks[0].format.underlineStyle(), QTextCharFormat::SpellCheckUnderline);

    box->click();
    EXPECT_FALSE(view.spellCheckEnabled());
    EXPECT_TRUE(view.getTextView()->extraSelections().isEmpty());
    box->click();
    EXPECT_EQ(view.getTextView()->extraSelections().size(), 1);
}
