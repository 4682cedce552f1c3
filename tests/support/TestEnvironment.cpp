#include "TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace testing_support {
namespace {
std::unique_ptr<QTemporaryDir>& homeDir()
{
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}
} // namespace

QString testHome()
{
    return homeDir() ? homeDir()->path() : QString();
}

void setUpTestHome()
{
    homeDir() = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/marvesto-test-XXXXXX"));
    const QString home = homeDir()->path();
    auto set = [](const char* name, const QString& value) {
        QDir().mkpath(value);
        ::setenv(name, value.toLocal8Bit().constData(), 1);
    };
    set("HOME", home);
    set("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    set("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    set("XDG_STATE_HOME", home + QStringLiteral("/.local/state"));
    set("XDG_CACHE_HOME", home + QStringLiteral("/.cache"));
    ::unsetenv("XDG_DOCUMENTS_DIR");
}

} // namespace testing_support
