#pragma once

#include <QString>

// Where the desktop platform keeps things in the home folder, mapped to the
// XDG base directories. Every path of the program that names a home-Library
// location goes through mapHomePath(), so tests can point HOME and the XDG
// variables at a temporary folder.
namespace platform::paths {

// The program's own folder name under the data, state and config roots.
inline constexpr const char* kApplicationName = "MarvestoLG";

QString homeDirectory();        // $HOME
QString dataHome();             // $XDG_DATA_HOME or ~/.local/share
QString configHome();           // $XDG_CONFIG_HOME or ~/.config
QString stateHome();            // $XDG_STATE_HOME or ~/.local/state
QString cacheHome();            // $XDG_CACHE_HOME or ~/.cache
QString documentsDirectory();   // $XDG_DOCUMENTS_DIR (user-dirs.dirs) or ~/Documents

// Expands a leading "~" or "~/" to the home folder; other paths unchanged.
QString expandTilde(const QString& path);

// Maps a path written the desktop platform's way to its Linux place:
//   ~/Library/Application Support/<rest>  -> dataHome()/<rest>
//   ~/Library/Logs/<app>/<rest>           -> stateHome()/<app>/Logs/<rest>
//   ~/Library/Preferences/<rest>          -> configHome()/<rest>
//   ~/Library/Caches/<rest>               -> cacheHome()/<rest>
//   ~/Documents/<rest>                    -> documentsDirectory()/<rest>
//   ~/<rest>                              -> homeDirectory()/<rest>
// Absolute paths outside the home Library are returned unchanged.
QString mapHomePath(const QString& path);

// Convenience: dataHome()/MarvestoLG, stateHome()/MarvestoLG/Logs.
QString applicationSupportDirectory();
QString applicationLogsDirectory();

} // namespace platform::paths
