#pragma once

#include <functional>

// Sends one call to a receiver once per element of a collection (a list or a
// set), in the collection's order, with the element as argument.
namespace perform {

template <class Receiver, class Collection, class Method>
void withEachObject(Receiver& receiver, Method method, const Collection& objects)
{
    for (const auto& object : objects)
        std::invoke(method, receiver, object);
}

} // namespace perform
