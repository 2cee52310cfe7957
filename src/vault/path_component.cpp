// Vets names from outside input before they become part of a path.
#include "vault/path_component.hpp"

namespace qs {

bool isSinglePathComponent(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

}  // namespace qs
