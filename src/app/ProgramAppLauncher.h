#pragma once

#include "widgets/AppLauncher.h"

// The program's launch services for the widgets' launch buttons: the
// foundation's launching and its icon and name look-ups by creator code; a
// program without a themed icon shows the desktop's icon for its file.
class ProgramAppLauncher : public AppLauncher {
public:
    int launchAppAndMakeFront(quint32 creator) override;
    QImage appIconForCreator(quint32 creator) override;
    QString appNameForCreator(quint32 creator) override;
};
