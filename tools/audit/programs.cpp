#include "tools/audit/programs.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace pawnlark::audit {
namespace {

namespace fs = std::filesystem;

// Debian installs games, xboard and polyglot among them, outside a root's usual search path.
const std::vector<std::string> GameDirectories{"/usr/games"};

}  // namespace

std::optional<std::string> not_runnable(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status)) return "it does not exist";
    if (fs::is_directory(status)) return "it is a directory";
    if (::access(path.c_str(), X_OK) != 0) return "it is not executable";
    std::ifstream file(path, std::ios::binary);
    std::string start(256, '\0');
    file.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(file.gcount()));
    if (start.starts_with("\x7f"
                          "ELF")) {
        return std::nullopt;
    }
    if (!start.starts_with("#!")) return "it is neither a program nor a script with #!";
    std::string interpreter = start.substr(2, start.find('\n') - 2);
    interpreter.erase(0, interpreter.find_first_not_of(" \t"));
    interpreter = interpreter.substr(0, interpreter.find_first_of(" \t\r"));
    if (interpreter.empty() || ::access(interpreter.c_str(), X_OK) != 0) {
        return "its interpreter '" + interpreter + "' cannot be run";
    }
    return std::nullopt;
}

std::optional<std::string> find_program(const std::string& name, const std::string& search_path,
                                        const std::vector<std::string>& extra_directories) {
    if (name.empty()) return std::nullopt;
    std::error_code error;
    if (name.find('/') != std::string::npos) {
        if (!fs::exists(name, error)) return std::nullopt;
        return name;
    }
    std::vector<std::string> directories;
    std::string_view rest = search_path;
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        directories.emplace_back(rest.substr(0, colon));
        rest = colon == std::string_view::npos ? "" : rest.substr(colon + 1);
    }
    directories.insert(directories.end(), extra_directories.begin(), extra_directories.end());
    for (const std::string& directory : directories) {
        if (directory.empty()) continue;
        const fs::path candidate = fs::path(directory) / name;
        if (fs::is_regular_file(candidate, error) && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
    }
    return std::nullopt;
}

Checked<std::string> program_path(const std::string& what, const std::string& name,
                                  const std::string& search_path) {
    const std::optional<std::string> found = find_program(name, search_path, GameDirectories);
    if (!found) {
        if (name.find('/') != std::string::npos) {
            return Error{what + " " + name + " does not exist"};
        }
        return Error{what + " '" + name + "' is not on the search path (give its path)"};
    }
    if (const std::optional<std::string> why = not_runnable(*found)) {
        return Error{what + " " + *found + " cannot be run: " + *why};
    }
    std::error_code error;
    const fs::path absolute = fs::absolute(*found, error);
    return error ? *found : absolute.lexically_normal().string();
}

}  // namespace pawnlark::audit
