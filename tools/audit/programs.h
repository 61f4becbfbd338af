#pragma once

// Finding the programs the audit runs, and checking before anything starts that each can run.

#include <optional>
#include <string>
#include <vector>

#include "tools/audit/error.h"

namespace pawnlark::audit {

// Why the file cannot be run as a program ("does not exist", "is not executable", ...), or
// nothing when it can.
std::optional<std::string> not_runnable(const std::string& path);

// The program's path: as given when it holds a slash, else the first match on the search
// path, then in the extra directories.
std::optional<std::string> find_program(const std::string& name, const std::string& search_path,
                                        const std::vector<std::string>& extra_directories = {});

// The program as a runnable absolute path (searched on the path, then where Debian puts
// games), or the error naming what is wrong with it; `what` names it in the error: "engine".
Checked<std::string> program_path(const std::string& what, const std::string& name,
                                  const std::string& search_path);

}  // namespace pawnlark::audit
