#include "widgets/ClassName.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>

QString classNameOfType(const std::type_info& type)
{
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                     &std::free);
    return QString::fromLatin1(status == 0 && name ? name.get() : type.name());
}
