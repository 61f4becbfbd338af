#pragma once

#include <string>

#include "velloran/result.h"

namespace pawnlark::audit {

// Why the audit cannot go on: a usage error, an unreadable file, a malformed table row. The
// text is one line, shown after "pawnlark-audit: ".
struct Error {
    std::string text;
};

template <typename T>
using Checked = velloran::Result<T, Error>;

}  // namespace pawnlark::audit
