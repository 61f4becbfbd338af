#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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

// The kinds of the core's error. Every failure of the chess core is `Chess`.
enum class ErrorKind : std::uint8_t { Chess };

// The core's error: "bad FEN '<text>'", "bad move '<text>'" or "illegal move '<text>'", built
// only by the helpers below.
struct CoreError {
    ErrorKind kind = ErrorKind::Chess;
    std::string text;
    // Errors of a FEN text: why the text was refused (the message does not say).
    std::optional<FenError> fen_error;

    // The kind and its text, for internal faults that have to show one: Chess("bad move 'x'"),
    // with quotes and backslashes in the text escaped.
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
