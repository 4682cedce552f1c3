#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace desktopstore {

// The file operations of one pull, done so that a process killed at any point
// leaves a folder the next start can finish. The new contents are first
// written to a hidden staging folder, then a plan naming every rename and
// removal together with the store's state after them is saved, and only then
// are the files moved into place. A plan found at start is carried out to its
// end (what is left of it) before anything else reads the folder.
class PullJournal {
public:
    // Called after each step (a staged file, the saved plan, a file moved or
    // removed), so a test can stop the process part-way.
    using StepObserver = std::function<void()>;

    explicit PullJournal(QString rootPath);

    void write(const QString& relative, const QByteArray& data);
    void remove(const QString& relative);
    // A folder removed (when empty) after the files.
    void removeFolder(const QString& relative);
    bool isEmpty() const;

    // Stages the new contents and saves the plan with extra (the state the
    // store has once it is carried out). Raises ISyncSessionUnavailableException
    // when a file cannot be written; nothing has moved then.
    void prepare(const QVariantMap& extra, const StepObserver& step);
    // Moves and removes; files that cannot be removed are logged.
    void carryOut(const StepObserver& step);
    // Drops the plan once the store's state is saved.
    void finish();

    // The extra of a plan left by a process that stopped part-way, with the
    // plan carried out; none when there is none. A plan that cannot be read
    // is logged and dropped.
    static std::optional<QVariantMap> recover(const QString& rootPath);
    // Whether a plan is left (one that could not be carried out).
    static bool hasPlan(const QString& rootPath);
    // Removes what a pull left staged, its plan too.
    static void clearStaging(const QString& rootPath);

private:
    struct Write {
        QString relative;
        QByteArray data;
    };
    QString m_root;
    QList<Write> m_writes;
    QStringList m_removals;
    QStringList m_folders;
};

} // namespace desktopstore
