#pragma once

#include "VirtualTime.h"
#include "platform/gui/TestArtifacts.h"

#include <QProcess>
#include <QWidget>

#include <gtest/gtest.h>

namespace devicewindow_tests {

// A picture of the grabbed widget, and under a real X server (when
// MARVESTO_XVFB_SHOTS names a folder) one of the whole screen by xwd.
inline void takeScreenPictures(QWidget* widget, const QString& name, double settle = 0.4)
{
    testing_support::runFor(settle);
    EXPECT_FALSE(platform::gui::saveGrab(widget, name).isEmpty()) << name.toStdString();
    const QString folder = qEnvironmentVariable("MARVESTO_XVFB_SHOTS");
    if (!folder.isEmpty())
        QProcess::execute(QStringLiteral("xwd"),
                          {QStringLiteral("-root"), QStringLiteral("-silent"), QStringLiteral("-out"),
                           folder + QLatin1Char('/') + name + QStringLiteral(".xwd")});
}

} // namespace devicewindow_tests
