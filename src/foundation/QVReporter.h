#pragma once

#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>

// Settings of the log report: one shared instance for the life of the process.
class QVReporter {
public:
    static QVReporter& sharedQVReporter();

    void setPackageAndApplicationName(const QString& package, const QString& application);
    QString packageName() const;
    QString appName() const;

    // Empty = the default support address.
    void setRecipient(const QString& recipient);
    QString recipient() const;

    // Keeps the first path set for the rest of the run.
    void setPathToZipFile(const QString& path);
    QString pathToZipFile() const;

    void setLogIORegistry(bool on);
    bool logIORegistry() const;

    // Extra arguments of one additional system-log extract; none = no extract.
    void setSysLogParams(const std::optional<QStringList>& params);
    std::optional<QStringList> sysLogParams() const;

    // Back to the state of a new instance (tests).
    void reset();

private:
    QVReporter() = default;

    mutable std::mutex m_mutex;
    std::optional<QStringList> m_sysLogParams;
    QString m_pathToZipFile;
    QString m_recipient;
    QString m_appName;
    QString m_packageName;
    bool m_logIORegistry = false;
};
