#include "syncmodel/QVSyncElem.h"

#include "platform/Exception.h"

#include <algorithm>

const QString QVSyncElem::kTemporaryIdPrefix = QStringLiteral("T-");

namespace {

const QString kUnimplementedError = QStringLiteral("Unimplemented function error");

} // namespace

QVSyncElem::QVSyncElem(const QVariant& data, const QString& sourceURI, const QString& protocol,
                       const QString& device, const QString& parent)
    : _vxData(data)
    , _sourceURI(sourceURI)
    , _sourceParentURI(parent)
    , _protocol(protocol)
    , _device(device)
{
    if (!protocol.isNull())
        _syncDescription = SyncDeviceLimits::fromProtocol(protocol);
}

std::shared_ptr<QVSyncElem> QVSyncElem::elemWithData(const QVariant& data, const QString& sourceURI,
                                                     const QString& protocol, const QString& device,
                                                     const QString& parent)
{
    return std::make_shared<QVSyncElem>(data, sourceURI, protocol, device, parent);
}

std::shared_ptr<QVSyncElem> QVSyncElem::elemForDeletion(const QString& sourceURI)
{
    return std::make_shared<QVSyncElem>(QVariant(), sourceURI, QString(), QString(), QString());
}

std::shared_ptr<QVSyncElem> QVSyncElem::copy() const
{
    return std::make_shared<QVSyncElem>(_vxData, sourceURI(), _protocol, _device, _sourceParentURI);
}

bool QVSyncElem::isOnDevice() const
{
    const QString id = sourceURI();
    return !id.isNull() && !id.startsWith(kTemporaryIdPrefix);
}

void QVSyncElem::resetItem()
{
    setSourceURI(QString());
    _sourceParentURI = QString();
}

QVariant QVSyncElem::vxDataForDevice(const std::shared_ptr<SyncDeviceLimits>& description)
{
    if (!_syncDescription)
        _syncDescription = description;
    return _vxData;
}

QVariant QVSyncElem::vxDataForDescription(const std::shared_ptr<SyncDeviceLimits>& description)
{
    if (!description || description->protocol() == _protocol)
        return _vxData;
    return {};
}

bool QVSyncElem::isDifferent(QVSyncElem& other, const std::shared_ptr<SyncDeviceLimits>&)
{
    const QVariant& mine = _vxData;
    const QVariant& theirs = other._vxData;
    if (mine.typeId() == QMetaType::QString && theirs.typeId() == QMetaType::QString)
        return mine.toString() != theirs.toString();
    return mine != theirs;
}

QString QVSyncElem::deviceFormattedString(const QString& value, const QString& key) const
{
    const long limit = _syncDescription ? _syncDescription->nonNilValueFromDescription(key) : 0;
    if (limit > 0 && value.size() > limit)
        return value.left(limit);
    return value;
}

QString QVSyncElem::getIdentityString() const
{
    throw platform::Exception(kUnimplementedError, QStringLiteral("### You must implement %1")
                                                       .arg(QStringLiteral("getIdentityString")));
}

int QVSyncElem::defaultComparisation(const QVSyncElem&) const
{
    return 0;
}

int QVSyncElem::positionComparisation(const QVSyncElem& other) const
{
    const int mine = positionNumber();
    const int theirs = other.positionNumber();
    return mine < theirs ? -1 : (mine > theirs ? 1 : 0);
}

void QVSyncElem::addKeyObserver(KeyObserver* observer)
{
    if (observer && std::find(_keyObservers.begin(), _keyObservers.end(), observer) == _keyObservers.end())
        _keyObservers.push_back(observer);
}

void QVSyncElem::removeKeyObserver(KeyObserver* observer)
{
    _keyObservers.erase(std::remove(_keyObservers.begin(), _keyObservers.end(), observer), _keyObservers.end());
}

void QVSyncElem::keysMayHaveChanged()
{
    for (KeyObserver* observer : _keyObservers)
        observer->elemKeysMayHaveChanged(this);
}

bool QVSyncElem::satisfiesSearchString(const QString& text) const
{
    const QString content = allContentString();
    if (content.isNull())
        return false;
    return content.contains(text, Qt::CaseInsensitive);
}

QString QVSyncElem::description() const
{
    const QString id = sourceURI();
    return QStringLiteral("<QVSyncElem> SourceURI = %1").arg(id.isNull() ? QStringLiteral("--") : id);
}

QString QVSyncElem::elemDescription() const
{
    return QStringLiteral("%1-Item").arg(className());
}

bool QVSyncElem::getFullDisplayData(QStringList& labels, QStringList& contents, QList<quint32>& typeCodes) const
{
    labels.clear();
    contents.clear();
    typeCodes.clear();
    labels.append(QStringLiteral("Type"));
    contents.append(elemDescription());
    typeCodes.append(kElemTypeCode);
    return true;
}
