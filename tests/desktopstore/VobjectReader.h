#pragma once

// python3-vobject as an independent reader of what the store writes.

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

#include <optional>

namespace desktopstore_test {

// Runs script (which imports vobject, reads the file sys.argv[1] and prints a
// JSON object) with Debian's interpreter, where the Debian package installs
// the module. None, with *skip set, when python3 or the module is missing.
inline std::optional<QJsonObject> readWithVobject(const char* script, const QString& path, std::string* skip)
{
    const QString prelude = QStringLiteral("import json, sys\ntry:\n    import vobject\nexcept ImportError:\n"
                                           "    sys.exit(77)\n");
    QProcess python;
    python.start(QFile::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3",
                 {"-c", prelude + QString::fromUtf8(script), path});
    if (!python.waitForFinished(30000) || python.exitStatus() != QProcess::NormalExit) {
        *skip = "python3 did not run";
        return std::nullopt;
    }
    if (python.exitCode() == 77) {
        *skip = "python3-vobject is not installed (scripts/install-deps.sh installs it)";
        return std::nullopt;
    }
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

} // namespace desktopstore_test
