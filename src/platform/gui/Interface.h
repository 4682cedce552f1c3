#pragma once

#include <QObject>
#include <QString>
#include <QWidget>
#include <functional>

// Interface files by name. A bundle ("program", "kestrova", "lumwick") keeps
// its Qt forms in data/ui/<bundle>/<Name>.ui, compiled into the resources of
// the library that owns them. Each library registers the widget classes its
// forms promote, by class name; outlets are found by object name.
namespace platform::gui {

inline constexpr const char* kProgramBundle = "program";
inline constexpr const char* kKestrovaBundle = "kestrova";
inline constexpr const char* kLumwickBundle = "lumwick";

using WidgetFactory = std::function<QWidget*(QWidget* parent)>;

// Registers (or replaces) the factory the loader uses for className.
void registerWidgetClass(const QString& className, WidgetFactory factory);

// Implemented by widgets that finish their set-up once the whole form is
// built and its properties are set; the loader calls awakeFromNib() on each
// of them, in creation order, before answering.
class NibAwakening {
public:
    virtual ~NibAwakening() = default;
    virtual void awakeFromNib() = 0;
};

// Builds the form ":/ui/<bundle>/<name>.ui"; a widget without an accessible
// name takes its tool tip as one. A missing or unreadable form is
// logged and answered with an empty widget of that object name; a promoted
// class nobody registered is logged and built as its base class.
QWidget* loadInterface(const QString& bundle, const QString& name, QWidget* parent = nullptr);

void logMissingOutlet(const QObject* owner, const QString& name);

// The outlet named name among owner's descendants, or null (logged).
template <class T>
T* outlet(const QObject* owner, const QString& name)
{
    T* found = owner ? owner->findChild<T*>(name) : nullptr;
    if (!found)
        logMissingOutlet(owner, name);
    return found;
}

} // namespace platform::gui
