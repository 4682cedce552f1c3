#pragma once

#include <QObject>
#include <QString>
#include <type_traits>
#include <typeinfo>

// The name of an object's class, for logs and descriptions: the class a
// QObject was made as, or the (demangled) dynamic type of any other object.
QString classNameOfType(const std::type_info& type);

template <class T>
QString className(const T& object)
{
    if constexpr (std::is_base_of_v<QObject, T>)
        return QString::fromLatin1(object.metaObject()->className());
    else
        return classNameOfType(typeid(object));
}
