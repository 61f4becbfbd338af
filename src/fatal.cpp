#include "velloran/fatal.h"

#include <cstdio>
#include <cstdlib>

namespace velloran {

void fatal(std::string_view message) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(message.size()), message.data());
    std::abort();
}

}  // namespace velloran
