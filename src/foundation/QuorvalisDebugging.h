#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

// The debug switches of one installed program. The switches file
// "~/Library/Application Support/QuorvalisDebugging.plist" (mapped to the
// data home) holds a dictionary per bundle identifier; the program whose entry
// is a dictionary has debugging on and asks for its keys. The file is read
// once, when the instance is made; an absent or unreadable file, a missing
// entry or an entry that is not a dictionary all mean debugging off.
class QuorvalisDebugging {
public:
    // The one shared instance. Whichever of the two is called first makes it
    // (init or initWithKey); later calls of either answer that instance.
    static QuorvalisDebugging& sharedQuorvalisDebugging();
    static QuorvalisDebugging& sharedQuorvalisDebuggingWithKey(const QString& key);

    // init: the entry of the owning bundle. carryingBundleIdentifier is the
    // identifier of the deliverable that carries this code (empty: the
    // program itself). When the user default "QV_LOG_TARGET_IS_MAIN" is set,
    // the program's main bundle is taken instead.
    explicit QuorvalisDebugging(const QString& carryingBundleIdentifier = QString());
    // initWithKey: the entry under any key; a null or empty key leaves
    // debugging off.
    static QuorvalisDebugging initWithKey(const QString& key);

    // The key's value when debugging is on and it is a string; null otherwise.
    QString stringValueForDebugKey(const QString& key) const;
    // Debugging is on and the key is present, whatever its value.
    bool debugKeyExists(const QString& key) const;
    // The key's boolean value (booleans, numbers, strings by the program's
    // rule; other values are off); false when debugging is off or the key absent.
    bool checkDebugKey(const QString& key) const;
    bool isDebuggingON() const;

    // Where the switches file lives.
    static QString switchesFilePath();
    // Marker files in the home folder that switch on diagnostics: "~/<name>"
    // (for example "~/EnableSyncMLDebugging"), mapped like every home path.
    static QString homeMarkerPath(const QString& name);
    static bool homeMarkerExists(const QString& name);

private:
    struct WithKey {};
    QuorvalisDebugging(WithKey, const QString& key);

    void takeEntry(const QString& key);

    std::optional<QVariantMap> _debugLevels;
};
