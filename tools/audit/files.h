#pragma once

// Whole files read and written, for the audit's reports and the managers' outputs.

#include <string>
#include <string_view>

namespace pawnlark::audit {

// The file's bytes; empty when it cannot be read.
std::string read_file(const std::string& path);

// Replaces the file's contents; false when it cannot be written.
bool write_file(const std::string& path, std::string_view text);

}  // namespace pawnlark::audit
