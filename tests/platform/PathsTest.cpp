#include "platform/Paths.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace platform::paths;

namespace {

// Sets an environment variable for one scope and restores it after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QString& value) : m_name(name), m_had(qEnvironmentVariableIsSet(name)),
        m_old(qEnvironmentVariable(name))
    {
        if (value.isNull())
            ::unsetenv(name);
        else
            ::setenv(name, value.toLocal8Bit().constData(), 1);
    }
    ~ScopedEnv()
    {
        if (m_had)
            ::setenv(m_name, m_old.toLocal8Bit().constData(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QString m_old;
};

} // namespace

TEST(Paths, PointAtTheTestHome)
{
    const QString home = testing_support::testHome();
    ASSERT_FALSE(home.isEmpty());
    EXPECT_EQ(homeDirectory(), QDir::cleanPath(home));
    EXPECT_EQ(dataHome(), home + QStringLiteral("/.local/share"));
    EXPECT_EQ(configHome(), home + QStringLiteral("/.config"));
    EXPECT_EQ(stateHome(), home + QStringLiteral("/.local/state"));
    EXPECT_EQ(cacheHome(), home + QStringLiteral("/.cache"));
    EXPECT_EQ(documentsDirectory(), home + QStringLiteral("/Documents"));
    EXPECT_EQ(applicationSupportDirectory(), home + QStringLiteral("/.local/share/MarvestoLG"));
    EXPECT_EQ(applicationLogsDirectory(), home + QStringLiteral("/.local/state/MarvestoLG/Logs"));
}

TEST(Paths, DefaultsWhenXdgVariablesAreUnsetOrRelative)
{
    const QString home = homeDirectory();
    ScopedEnv data("XDG_DATA_HOME", QString());
    ScopedEnv state("XDG_STATE_HOME", QStringLiteral("relative/state"));
    EXPECT_EQ(dataHome(), home + QStringLiteral("/.local/share"));
    EXPECT_EQ(stateHome(), home + QStringLiteral("/.local/state"));
}

TEST(Paths, ExpandTilde)
{
    const QString home = homeDirectory();
    EXPECT_EQ(expandTilde(QStringLiteral("~")), home);
    EXPECT_EQ(expandTilde(QStringLiteral("~/a/b")), home + QStringLiteral("/a/b"));
    EXPECT_EQ(expandTilde(QStringLiteral("~other/a")), QStringLiteral("~other/a"));
    EXPECT_EQ(expandTilde(QStringLiteral("/x/~/y")), QStringLiteral("/x/~/y"));
    EXPECT_EQ(expandTilde(QStringLiteral("a")), QStringLiteral("a"));
}

TEST(Paths, MapHomeLibrary)
{
    const QString home = homeDirectory();
    EXPECT_EQ(mapHomePath(QStringLiteral("~/Library/Application Support/MarvestoLG/db.sqlite")),
              dataHome() + QStringLiteral("/MarvestoLG/db.sqlite"));
    EXPECT_EQ(mapHomePath(QStringLiteral("~/Library/Application Support")), dataHome());
    EXPECT_EQ(mapHomePath(QStringLiteral("~/Library/Logs/MarvestoLG/AT.log")),
              stateHome() + QStringLiteral("/MarvestoLG/Logs/AT.log"));
    EXPECT_EQ(mapHomePath(QStringLiteral("~/Library/Logs/MarvestoLG")),
              stateHome() + QStringLiteral("/MarvestoLG/Logs"));
    EXPECT_EQ(mapHomePath(QStringLiteral("~/Library/Logs/MarvestoLG/a/b.log")),
              stateHome() + QStringLiteral("/MarvestoLG/Logs/a/b.log"));
    EXPECT_EQ(mapHomePath(QStringLiteral("~/Library/Preferences/com.marvesto.MarvestoLG.plist")),
              configHome() + QStringLiteral("/com.marvesto.MarvestoLG.plist"));
    EXPECT_EQ(mapHomePath(QStringLiteral("~/Library/Caches/MarvestoLG")), cacheHome() + QStringLiteral("/MarvestoLG"));
    EXPECT_EQ(mapHomePath(QStringLiteral("~/Documents/Phone")), documentsDirectory() + QStringLiteral("/Phone"));
    EXPECT_EQ(mapHomePath(QStringLiteral("~/Music/x.mp3")), home + QStringLiteral("/Music/x.mp3"));
    EXPECT_EQ(mapHomePath(QStringLiteral("~/Library/Other/x")), home + QStringLiteral("/Library/Other/x"));
    // The absolute spelling of a home-Library path maps too.
    EXPECT_EQ(mapHomePath(home + QStringLiteral("/Library/Application Support/MarvestoLG")),
              dataHome() + QStringLiteral("/MarvestoLG"));
    // A name that only starts like a mapped folder is not inside it.
    EXPECT_EQ(mapHomePath(QStringLiteral("~/Library/LogsOld/x")), home + QStringLiteral("/Library/LogsOld/x"));
}

TEST(Paths, OtherPathsUnchanged)
{
    EXPECT_EQ(mapHomePath(QStringLiteral("/Library/Application Support/x")), QStringLiteral("/Library/Application Support/x"));
    EXPECT_EQ(mapHomePath(QStringLiteral("/tmp/a//b")), QStringLiteral("/tmp/a//b"));
    EXPECT_EQ(mapHomePath(QStringLiteral("relative/Library")), QStringLiteral("relative/Library"));
    EXPECT_EQ(mapHomePath(QString()), QString());
}

TEST(Paths, DocumentsFromEnvironmentAndUserDirs)
{
    const QString home = homeDirectory();
    {
        ScopedEnv docs("XDG_DOCUMENTS_DIR", home + QStringLiteral("/Docs-env"));
        EXPECT_EQ(documentsDirectory(), home + QStringLiteral("/Docs-env"));
        EXPECT_EQ(mapHomePath(QStringLiteral("~/Documents/a")), home + QStringLiteral("/Docs-env/a"));
    }
    const QString userDirs = configHome() + QStringLiteral("/user-dirs.dirs");
    QFile file(userDirs);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    file.close();
    EXPECT_EQ(documentsDirectory(), home + QStringLiteral("/Dokumente"));
    QFile::remove(userDirs);
    EXPECT_EQ(documentsDirectory(), home + QStringLiteral("/Documents"));
}
