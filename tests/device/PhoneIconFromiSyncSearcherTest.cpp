#include "device/PhoneIconFromiSyncSearcher.h"

#include "platform/PropertyList.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A sync application and its phone plug-ins laid out as the searcher expects.
class PhoneIconFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        base = dir.filePath(QStringLiteral("Sync.app"));
        plugins = dir.filePath(QStringLiteral("PhonePlugins"));
        QDir().mkpath(base + QStringLiteral("/Contents"));
        QDir().mkpath(plugins);
    }

    void setVersion(const QString& version)
    {
        ASSERT_TRUE(platform::plist::writeFile(base + QStringLiteral("/Contents/Info.plist"),
                                               QVariantMap { { QStringLiteral("CFBundleShortVersionString"), version } }));
    }

    void addPlugin(const QString& name, const QVariantMap& metaClasses)
    {
        const QString resources = plugins + QLatin1Char('/') + name + QStringLiteral("/Contents/Resources");
        QDir().mkpath(resources);
        ASSERT_TRUE(platform::plist::writeFile(resources + QStringLiteral("/MetaClasses.plist"), metaClasses));
    }

    static QVariantMap phoneClass(const QString& identKey, const QVariant& idents, const QString& icon)
    {
        return { { QStringLiteral("Identification"), QVariantMap { { identKey, idents } } },
                 { QStringLiteral("Services"),
                   QVariantList { QVariantMap { { QStringLiteral("ServiceName"), QStringLiteral("none") } },
                                  QVariantMap { { QStringLiteral("ServiceProperties"),
                                                  QVariantMap { { QStringLiteral("ModelIcon"), icon } } } } } } };
    }

    PhoneIconFromiSyncSearcher searcher() const { return PhoneIconFromiSyncSearcher(base, plugins, plugins); }

    QTemporaryDir dir;
    QString base;
    QString plugins;
};

} // namespace

TEST_F(PhoneIconFixture, VersionRule)
{
    EXPECT_FALSE(searcher().versionOkay()) << "no Info.plist";
    struct Case {
        const char* version;
        bool okay;
    } const cases[] = { { "2.3", true }, { "2.2", false }, { "1.9", false }, { "3.0", true }, { "2", false }, { "", false } };
    for (const Case& c : cases) {
        setVersion(QString::fromLatin1(c.version));
        EXPECT_EQ(searcher().versionOkay(), c.okay) << c.version;
    }
}

TEST_F(PhoneIconFixture, SearchFindsTheModelIconInThePlugins)
{
    addPlugin(QStringLiteral("BaseSync.phoneplugin"),
              { { QStringLiteral("com.base.any"), phoneClass(QStringLiteral("com.apple.gmi+gmm"), QStringLiteral("LG+KU990"), QStringLiteral("base.tiff")) } });
    addPlugin(QStringLiteral("Lg.phoneplugin"),
              { { QStringLiteral("com.lg.ku990"), phoneClass(QStringLiteral("com.apple.gmi+gmm"),
                                                            QVariantList { QStringLiteral("LG+KU800"), QStringLiteral("LG+KU990") },
                                                            QStringLiteral("ku990.tiff")) },
                { QStringLiteral("other.lg.ku990"), phoneClass(QStringLiteral("com.apple.gmi+gmm"), QStringLiteral("LG+KU990"), QStringLiteral("no.tiff")) } });
    addPlugin(QStringLiteral("Moto.phoneplugin"),
              { { QStringLiteral("com.moto.v3"), phoneClass(QStringLiteral("com.apple.cgmi+cgmm"), QStringLiteral("Motorola+V3x"), QStringLiteral("v3.png")) } });

    PhoneIconFromiSyncSearcher lookup = searcher();
    lookup.setSearchIdentification(QStringLiteral("LG+KU990"));
    EXPECT_EQ(lookup.searchIconInFolder(plugins), plugins + QStringLiteral("/Lg.phoneplugin/Contents/Resources/ku990.tiff"));
    lookup.setSearchIdentification(QStringLiteral("Motorola+V3"));
    EXPECT_EQ(lookup.searchIconInFolder(plugins), plugins + QStringLiteral("/Moto.phoneplugin/Contents/Resources/v3.png"));
    lookup.setSearchIdentification(QStringLiteral("Nokia+6230"));
    EXPECT_TRUE(lookup.searchIconInFolder(plugins).isNull());
    EXPECT_TRUE(lookup.searchIconInPlugin(plugins + QStringLiteral("/Missing.phoneplugin")).isNull());
}

TEST_F(PhoneIconFixture, IconNamesStayInsideThePlugin)
{
    addPlugin(QStringLiteral("Evil.phoneplugin"),
              { { QStringLiteral("com.evil"), phoneClass(QStringLiteral("com.apple.gmi+gmm"), QStringLiteral("X+Y"), QStringLiteral("../../../etc/passwd")) } });
    PhoneIconFromiSyncSearcher lookup = searcher();
    lookup.setSearchIdentification(QStringLiteral("X+Y"));
    EXPECT_TRUE(lookup.searchIconInFolder(plugins).isNull());
}

TEST(PhoneIcons, IdentsAndDefaultLocations)
{
    std::unique_ptr<PhoneIconFromiSyncSearcher> lookup = PhoneIconFromiSyncSearcher::searcher();
    EXPECT_EQ(lookup->infoPath(), QStringLiteral("/Applications/iSync.app/Contents/Info.plist"));
    EXPECT_FALSE(lookup->versionOkay());
    lookup->setSearchIdentification(QStringLiteral("LG+KU990"));
    EXPECT_TRUE(lookup->searchIconInFolder(lookup->internalPluginsClassesPath()).isNull());
    EXPECT_TRUE(lookup->searchIconInFolder(lookup->userPluginsClassesPath()).isNull());

    EXPECT_TRUE(lookup->searchIdents(QStringLiteral("maker LG+KU990 v2")));
    EXPECT_TRUE(lookup->searchIdents(QVariantList { 3, QStringLiteral("LG+KU990") }));
    EXPECT_FALSE(lookup->searchIdents(QVariantList { 3, QStringLiteral("LG+KU800") }));
    EXPECT_FALSE(lookup->searchIdents(42));
    EXPECT_FALSE(lookup->searchIdents(QVariant()));

    EXPECT_TRUE(getPhoneIconForModel(QString()).isNull());
    EXPECT_TRUE(getPhoneIconForModel(QStringLiteral("No+Such")).isNull());
}
