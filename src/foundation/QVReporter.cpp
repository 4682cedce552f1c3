#include "foundation/QVReporter.h"

QVReporter& QVReporter::sharedQVReporter()
{
    static QVReporter instance;
    return instance;
}

void QVReporter::setPackageAndApplicationName(const QString& package, const QString& application)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_packageName = package;
    m_appName = application;
}

QString QVReporter::packageName() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_packageName;
}

QString QVReporter::appName() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_appName;
}

void QVReporter::setRecipient(const QString& recipient)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_recipient = recipient;
}

QString QVReporter::recipient() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_recipient;
}

void QVReporter::setPathToZipFile(const QString& path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pathToZipFile.isEmpty())
        m_pathToZipFile = path;
}

QString QVReporter::pathToZipFile() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pathToZipFile;
}

void QVReporter::setLogIORegistry(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_logIORegistry = on;
}

bool QVReporter::logIORegistry() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_logIORegistry;
}

void QVReporter::setSysLogParams(const std::optional<QStringList>& params)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sysLogParams = params;
}

std::optional<QStringList> QVReporter::sysLogParams() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sysLogParams;
}

void QVReporter::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sysLogParams.reset();
    m_pathToZipFile.clear();
    m_recipient.clear();
    m_appName.clear();
    m_packageName.clear();
    m_logIORegistry = false;
}
