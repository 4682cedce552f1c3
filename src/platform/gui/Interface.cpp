#include "platform/gui/Interface.h"

#include "platform/gui/GuiLog.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QPointer>
#include <QUiLoader>

namespace platform::gui {

namespace {

struct Registry {
    QMutex mutex;
    QHash<QString, WidgetFactory> factories;
};

Registry& registry()
{
    static Registry r;
    return r;
}

WidgetFactory factoryFor(const QString& className)
{
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    return r.factories.value(className);
}

// Builds registered classes through their factories, everything else as Qt
// does, and remembers what it built so the form can be woken up afterwards.
class Loader : public QUiLoader {
public:
    explicit Loader(QString formName) : formName_(std::move(formName)) {}

    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override
    {
        QWidget* widget = nullptr;
        if (WidgetFactory factory = factoryFor(className)) {
            widget = factory(parent);
        } else {
            widget = QUiLoader::createWidget(className, parent, name);
            if (!widget)
                qCWarning(lcGui) << "Interface" << formName_ << "names the unknown widget class" << className
                                 << "(" << name << "); its base class stands in";
        }
        if (widget) {
            widget->setObjectName(name);
            created_.append(widget);
        }
        return widget;
    }

    void wakeUp()
    {
        // Controls without a name of their own are announced by their tool tip.
        for (const QPointer<QWidget>& widget : std::as_const(created_)) {
            if (widget && widget->accessibleName().isEmpty() && !widget->toolTip().isEmpty())
                widget->setAccessibleName(widget->toolTip());
        }
        for (const QPointer<QWidget>& widget : std::as_const(created_)) {
            if (auto* awaking = dynamic_cast<NibAwakening*>(widget.data()))
                awaking->awakeFromNib();
        }
    }

private:
    QString formName_;
    QList<QPointer<QWidget>> created_;
};

} // namespace

void registerWidgetClass(const QString& className, WidgetFactory factory)
{
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    r.factories.insert(className, std::move(factory));
}

QWidget* loadInterface(const QString& bundle, const QString& name, QWidget* parent)
{
    const QString formName = bundle + u'/' + name;
    QFile file(QStringLiteral(":/ui/%1/%2.ui").arg(bundle, name));
    QWidget* form = nullptr;
    Loader loader(formName);
    if (file.open(QIODevice::ReadOnly)) {
        form = loader.load(&file, parent);
        if (!form)
            qCWarning(lcGui) << "Interface" << formName << "could not be read:" << loader.errorString();
    } else {
        qCWarning(lcGui) << "Interface" << formName << "not found";
    }
    if (!form) {
        form = new QWidget(parent);
        form->setObjectName(name);
        return form;
    }
    loader.wakeUp();
    return form;
}

void logMissingOutlet(const QObject* owner, const QString& name)
{
    qCWarning(lcGui) << "No outlet" << name << "in" << (owner ? owner->objectName() : QStringLiteral("(none)"));
}

} // namespace platform::gui
