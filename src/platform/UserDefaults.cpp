#include "platform/UserDefaults.h"

#include "platform/Bundle.h"
#include "platform/Paths.h"
#include "platform/PlatformLog.h"
#include "platform/PropertyList.h"
#include "platform/Values.h"

#include <QFile>
#include <QMetaType>
#include <QtDebug>

namespace platform {

struct UserDefaults::Impl {
    QString domain;
    QVariantMap registered;
    QVariantMap persistent;
    bool dirty = false;
};

namespace {

// Whether a value can go into a property list (and so into the defaults).
bool isPropertyListValue(const QVariant& value)
{
    QString ignored;
    return !plist::toXml(value, &ignored).isEmpty();
}

} // namespace

UserDefaults& UserDefaults::standard()
{
    static UserDefaults defaults(bundle::mainBundleIdentifier());
    return defaults;
}

UserDefaults::UserDefaults(QString domain) : d(std::make_unique<Impl>())
{
    d->domain = std::move(domain);
    reload();
}

UserDefaults::~UserDefaults() = default;

QString UserDefaults::filePath() const
{
    // Computed on each call, so a test that moves HOME gets the new place.
    return paths::configHome() + QLatin1Char('/') + QLatin1String(paths::kApplicationName) + QLatin1Char('/')
         + d->domain + QStringLiteral(".plist");
}

void UserDefaults::registerDefaults(const QVariantMap& defaults)
{
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        d->registered.insert(it.key(), it.value());
}

QVariant UserDefaults::object(const QString& key) const
{
    auto it = d->persistent.constFind(key);
    if (it != d->persistent.constEnd())
        return *it;
    return d->registered.value(key);
}

void UserDefaults::setObject(const QString& key, const QVariant& value)
{
    if (!value.isValid()) {
        remove(key);
        return;
    }
    if (!isPropertyListValue(value)) {
        qCWarning(lcPlatform, "UserDefaults: the value for \"%s\" (%s) is not a property-list value; not set",
                  qPrintable(key), value.typeName());
        return;
    }
    auto it = d->persistent.find(key);
    if (it != d->persistent.end() && it->metaType() == value.metaType() && *it == value)
        return;
    d->persistent.insert(key, value);
    d->dirty = true;
}

void UserDefaults::remove(const QString& key)
{
    if (d->persistent.remove(key) > 0)
        d->dirty = true;
}

bool UserDefaults::contains(const QString& key) const
{
    return d->persistent.contains(key) || d->registered.contains(key);
}

QString UserDefaults::string(const QString& key) const
{
    const QVariant value = object(key);
    return values::isString(value) ? value.toString() : QString();
}

bool UserDefaults::boolValue(const QString& key) const
{
    return values::toBool(object(key));
}

int UserDefaults::integer(const QString& key) const
{
    return values::toInt(object(key));
}

double UserDefaults::doubleValue(const QString& key) const
{
    return values::toDouble(object(key));
}

QVariantList UserDefaults::array(const QString& key) const
{
    const QVariant value = object(key);
    if (value.metaType().id() == QMetaType::QVariantList || value.metaType().id() == QMetaType::QStringList)
        return value.toList();
    return {};
}

QVariantMap UserDefaults::dictionary(const QString& key) const
{
    const QVariant value = object(key);
    if (value.metaType().id() == QMetaType::QVariantMap || value.metaType().id() == QMetaType::QVariantHash)
        return value.toMap();
    return {};
}

QVariantMap UserDefaults::persistentDomain() const
{
    return d->persistent;
}

bool UserDefaults::synchronize()
{
    if (!d->dirty)
        return true;
    QString error;
    if (!plist::writeFile(filePath(), d->persistent, &error)) {
        qCWarning(lcPlatform, "UserDefaults: cannot save %s: %s", qPrintable(d->domain), qPrintable(error));
        return false;
    }
    d->dirty = false;
    return true;
}

void UserDefaults::reload()
{
    d->persistent.clear();
    d->dirty = false;
    const QString path = filePath();
    if (!QFile::exists(path))
        return;
    QString error;
    const QVariant value = plist::readFile(path, &error);
    if (!value.isValid() || value.metaType().id() != QMetaType::QVariantMap) {
        // Keep a copy of the unreadable file: the next synchronize replaces it.
        const QString copy = path + QStringLiteral(".unreadable");
        QFile::remove(copy);
        QFile::copy(path, copy);
        qCWarning(lcPlatform, "UserDefaults: ignoring %s (copied to %s): %s", qPrintable(path), qPrintable(copy),
                  qPrintable(value.isValid() ? QStringLiteral("not a dictionary") : error));
        return;
    }
    d->persistent = value.toMap();
}

} // namespace platform
