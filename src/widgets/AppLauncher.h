#pragma once

#include <QImage>
#include <QString>

// Starting other programs by their four-character creator codes, as the
// program provides it: the widgets reach the launch services only through
// this interface, which the program installs at start.
class AppLauncher {
public:
    virtual ~AppLauncher() = default;

    // Starts the creator's program unless it runs, then brings it to the
    // front; 0 for success.
    virtual int launchAppAndMakeFront(quint32 creator) = 0;
    // The program's icon and display name; null when no program is known.
    virtual QImage appIconForCreator(quint32 creator) = 0;
    virtual QString appNameForCreator(quint32 creator) = 0;

    // The installed launcher (not owned), null before the program set one.
    static AppLauncher* shared();
    static void setShared(AppLauncher* launcher);
};
