#pragma once

#include <QString>

#include <memory>
#include <mutex>

// One open named log: <log folder>/<name>.log, the previous run's file kept
// as <name>-last.log. The registry of open logs lives here too; a log stays
// open until the process ends. All static members are safe from any thread.
class QVFileLog {
public:
    // Opens a log: makes the folder chain and rotates the current file to the
    // -last file. owner empty = the log owner name. nullptr for an empty name
    // or a folder that cannot be made.
    static std::shared_ptr<QVFileLog> initWithName(const QString& name, const QString& owner = QString());

    // Appends the text (UTF-8) to the file, creating it. True when bytes were written.
    bool writeString(const QString& text);

    void setPrivate(bool isPrivate);
    bool isPrivate() const;
    QString filename() const;

    // Removes previous when present, then moves current to previous.
    static void rotateFile(const QString& current, const QString& previous);
    // Makes every missing folder of an absolute path: 0 on success, -1 on
    // failure. A relative path throws "NSInternalInconsistencyException".
    static int createDirectoryIfNecessary(const QString& absolutePath);

    // The registry: the open log of that name, or nullptr.
    static std::shared_ptr<QVFileLog> sharedLogWithName(const QString& name);
    // Opens name into the registry unless it is there already (then nothing
    // happens, in particular no second rotation). False when opening failed.
    static bool openSharedLog(const QString& name, const QString& owner);
    // The folder the logs of an owner live in (owner empty = log owner name).
    static QString logFolder(const QString& owner = QString());
    // The name the logs and the report are kept under.
    static QString getBundleName();

    explicit QVFileLog(QString filename);

private:
    QString m_filename;
    bool m_isPrivate = false;
    mutable std::mutex m_mutex;
};
