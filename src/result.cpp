#include "velloran/result.h"

#include <string>

namespace velloran {
namespace {

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

CoreError chess(std::string message) { return CoreError{ErrorKind::Chess, std::move(message), {}}; }

}  // namespace

std::string CoreError::render() const {
    switch (kind) {
        case ErrorKind::Chess:
            return "Chess(" + quoted(text) + ")";
    }
    return {};
}

CoreError bad_fen(std::string_view text, FenError reason) {
    CoreError error = chess("bad FEN '" + std::string(text) + "'");
    error.fen_error = reason;
    return error;
}
CoreError bad_move(std::string_view text) { return chess("bad move '" + std::string(text) + "'"); }
CoreError illegal_move(std::string_view text) {
    return chess("illegal move '" + std::string(text) + "'");
}

}  // namespace velloran
