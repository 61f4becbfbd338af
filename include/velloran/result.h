#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <variant>

namespace velloran {

// Why a FEN text was refused, in field order.
enum class FenError : std::uint8_t {
    InvalidBoard,
    InvalidSideToMove,
    InvalidCastlingRights,
    InvalidEnPassant,
    InvalidHalfMoveClock,
    InvalidFullmoveNumber,
    MissingField,
    ExtraField,
};

// The variants of the core's error, in their fixed order.
enum class ErrorKind : std::uint8_t { Config, Io, Engine, Chess, Opening, Log };

// The core's error. Chess failures are `Chess` with one of the messages built by the helpers
// below; `Engine` carries two texts, `Io` a system error code.
struct CoreError {
    ErrorKind kind = ErrorKind::Chess;
    std::string text;    // Config, Chess, Opening, Log; `engine` for Engine
    std::string detail;  // Engine only
    std::error_code io;  // Io only
    // Chess errors of a FEN text: why the text was refused (the message does not say).
    std::optional<FenError> fen_error;

    // The variant name and its payload: Chess("bad move 'x'"), Engine { engine: "a", detail: "b" }.
    std::string render() const;

    friend bool operator==(const CoreError&, const CoreError&) = default;
};

// "bad FEN '<text>'", carrying the reason.
CoreError bad_fen(std::string_view text, FenError reason);
CoreError bad_move(std::string_view text);
CoreError illegal_move(std::string_view text);

// A value, or the error that explains why there is none.
template <typename T, typename E = CoreError>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(E error) : state_(std::move(error)) {}
    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    const E& error() const { return std::get<1>(state_); }

private:
    std::variant<T, E> state_;
};

}  // namespace velloran
