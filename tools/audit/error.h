#pragma once

#include <optional>
#include <string>
#include <utility>

namespace pawnlark::audit {

// Why the audit cannot go on: a usage error, an unreadable file, a malformed table row. The
// text is one line, shown after "pawnlark-audit: ".
struct Error {
    std::string text;
};

// A value, or the error that explains why there is none. Reading the value of an error is a
// bug the caller's check prevents; nothing here throws.
template <typename T>
class [[nodiscard]] Checked {
public:
    Checked(T value) : value_(std::move(value)) {}
    Checked(Error error) : error_(std::move(error)) {}
    explicit operator bool() const { return value_.has_value(); }
    const T& value() const& { return *value_; }
    T&& value() && { return std::move(*value_); }
    const Error& error() const { return error_; }

private:
    std::optional<T> value_;
    Error error_;
};

}  // namespace pawnlark::audit
