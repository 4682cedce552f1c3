#pragma once

#include <QByteArray>
#include <QTemporaryDir>

// A benchmark's stand-in for the home folder: HOME and the XDG data, config,
// state and cache folders point inside a temporary folder for as long as the
// object lives, so no run writes into the real home.
class BenchTemporaryHome {
public:
    BenchTemporaryHome()
    {
        const QByteArray root = _home.path().toUtf8();
        qputenv("HOME", root);
        qputenv("XDG_DATA_HOME", root + "/.local/share");
        qputenv("XDG_CONFIG_HOME", root + "/.config");
        qputenv("XDG_STATE_HOME", root + "/.local/state");
        qputenv("XDG_CACHE_HOME", root + "/.cache");
    }
    BenchTemporaryHome(const BenchTemporaryHome&) = delete;
    BenchTemporaryHome& operator=(const BenchTemporaryHome&) = delete;

private:
    QTemporaryDir _home;
};
