#include "widgets/AppLaunchButton.h"
#include "widgets/AppLauncher.h"
#include "widgets/HyperLinkButton.h"
#include "widgets/Hyperlink.h"

#include "VirtualTime.h"

#include <QSignalSpy>
#include <QTextDocument>
#include <QTextFragment>
#include <gtest/gtest.h>

namespace {

constexpr quint32 kKnown = 0x51764171; // "QvAq"

// A launcher that knows one program; its launch runs the loop for the
// settle wait, as the program's does, so clicks can arrive meanwhile.
struct FakeLauncher : AppLauncher {
    QImage icon = QImage(128, 128, QImage::Format_ARGB32);
    int launches = 0;
    quint32 asked = 0;
    std::function<void()> duringLaunch;
    int launchAppAndMakeFront(quint32 creator) override
    {
        ++launches;
        if (duringLaunch)
            duringLaunch();
        testing_support::runFor(0.9);
        return creator == kKnown ? 0 : -10814;
    }
    QImage appIconForCreator(quint32 creator) override
    {
        asked = creator;
        return creator == kKnown ? icon : QImage();
    }
    QString appNameForCreator(quint32 creator) override
    {
        return creator == kKnown ? QStringLiteral("Quiver") : QString();
    }
};

class AppLaunchButtonTest : public ::testing::Test {
protected:
    void SetUp() override { AppLauncher::setShared(&launcher); }
    void TearDown() override { AppLauncher::setShared(nullptr); }
    FakeLauncher launcher;
};

TEST_F(AppLaunchButtonTest, KnownCreatorFillsIconAndNameAndEnables)
{
    AppLaunchButton button;
    button.resize(32, 32);
    EXPECT_FALSE(button.isEnabled());
    button.setText(QStringLiteral("from the form"));
    button.setAlternateTitle(QStringLiteral("QvAq"));
    button.awakeFromNib();
    EXPECT_EQ(button.launchCreator(), kKnown);
    EXPECT_EQ(button.text(), "Quiver");
    EXPECT_TRUE(button.isEnabled());
    EXPECT_TRUE(button.alternateTitle().isEmpty());
    EXPECT_EQ(button.iconSize(), QSize(28, 28));
}

TEST_F(AppLaunchButtonTest, UnknownOrMalformedCreatorLeavesTheButtonDisabled)
{
    // Four characters that Mac OS Roman has but no program, too short, too
    // long, and a character outside Mac OS Roman.
    for (const char* title : {"zzzz", "QvA", "QvAqq", "Q\xc5\x81Aq"}) {
        AppLaunchButton button;
        button.setText(QStringLiteral("kept"));
        button.setAlternateTitle(QString::fromUtf8(title));
        button.awakeFromNib();
        EXPECT_EQ(button.launchCreator(), 0u) << title;
        EXPECT_FALSE(button.isEnabled()) << title;
        EXPECT_EQ(button.text(), "kept") << title;
        EXPECT_TRUE(button.alternateTitle().isEmpty()) << title;
        button.setEnabled(true);
        EXPECT_FALSE(button.isEnabled()) << "a caller cannot enable it";
    }
}

TEST_F(AppLaunchButtonTest, CreatorIsReadBigEndianFromMacRoman)
{
    launcher.icon = QImage(16, 16, QImage::Format_ARGB32);
    AppLaunchButton button;
    // In Mac OS Roman "Ä" is 0x80 and "ƒ" 0xC4.
    button.setAlternateTitle(QStringLiteral("\u00c4\u0192ab"));
    button.awakeFromNib();
    EXPECT_EQ(launcher.asked, 0x80C46162u);
    EXPECT_EQ(button.launchCreator(), 0u) << "not the known program";

    AppLaunchButton sized;
    sized.resize(32, 32);
    sized.setAlternateTitle(QStringLiteral("QvAq"));
    sized.awakeFromNib();
    EXPECT_EQ(sized.iconSize(), QSize(16, 16)) << "a small icon is never enlarged";
    sized.setFlat(true);
    sized.setImage(QImage(64, 64, QImage::Format_ARGB32));
    EXPECT_EQ(sized.iconSize(), QSize(32, 32)) << "a flat button has no border to leave";
}

TEST_F(AppLaunchButtonTest, ClickLaunchesThenSendsAndIgnoresClicksDuringTheSettleWait)
{
    AppLaunchButton button;
    button.setAlternateTitle(QStringLiteral("QvAq"));
    button.awakeFromNib();
    QSignalSpy sent(&button, &AppLaunchButton::actionSent);
    int launchesWhenSent = -1;
    QObject::connect(&button, &AppLaunchButton::actionSent, [&] { launchesWhenSent = launcher.launches; });
    launcher.duringLaunch = [&] { button.click(); };

    button.click();
    EXPECT_EQ(launcher.launches, 1);
    EXPECT_EQ(sent.count(), 1);
    EXPECT_EQ(launchesWhenSent, 1) << "launched before the action";

    launcher.duringLaunch = nullptr;
    button.click();
    EXPECT_EQ(launcher.launches, 2);
}

TEST(HyperLinkButtonTest, LinksOnlyToValidAddresses)
{
    struct Case {
        const char* key;
        const char* text;
        const char* link;
    } cases[] = {
        {"https://example.org/help", "Help", "https://example.org/help"},
        {"mailto:team@example.org", "Write", "mailto:team@example.org"},
        {"ftp://example.org/", "Files", ""},
        {"javascript:alert(1)", "Script", ""},
        {"not an address", "Text", ""},
        {"", "Text", ""},
        {"https://example.org/", "", ""},
    };
    for (const Case& c : cases) {
        HyperLinkButton field;
        field.setText(QLatin1String(c.text));
        field.setPlaceholderText(QLatin1String(c.key));
        field.awakeFromNib();
        EXPECT_EQ(field.link().toString(), QLatin1String(c.link)) << c.key;
        EXPECT_EQ(field.textFormat(), *c.link ? Qt::RichText : Qt::PlainText) << c.key;
        EXPECT_EQ(field.text(), *c.link ? field.text() : QLatin1String(c.text)) << c.key;
    }
}

TEST(HyperLinkButtonTest, LinkTextIsBlueAndUnderlinedThroughout)
{
    QTextDocument document;
    document.setHtml(
        hyperlink::hyperlinkFromString(QStringLiteral("Read <the> manual"), QUrl("https://example.org/m")));
    EXPECT_EQ(document.toPlainText(), "Read <the> manual");
    int covered = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            EXPECT_TRUE(format.isAnchor());
            EXPECT_EQ(format.anchorHref(), "https://example.org/m");
            EXPECT_EQ(format.foreground().color(), QColor(Qt::blue));
            EXPECT_TRUE(format.fontUnderline());
            covered += it.fragment().length();
        }
    EXPECT_EQ(covered, 17);
    EXPECT_EQ(hyperlink::hyperlinkFromString(QStringLiteral("a<b"), QUrl("file:///etc/passwd")), "a&lt;b");
}

} // namespace
