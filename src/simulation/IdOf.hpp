// The identifier of a model list entry, whether the model hands out identifiers or element pointers.
#pragma once

#include <type_traits>

namespace simulation {

template <typename E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
E idOf(E id)
{
    return id;
}
template <typename P, std::enable_if_t<std::is_pointer_v<P>, int> = 0>
auto idOf(P element)
{
    return element->getID();
}

}  // namespace simulation
