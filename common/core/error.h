// Errors as values: every fallible core routine returns Result<T>.
#pragma once

#include <expected>
#include <string>
#include <utility>

namespace folio {

struct Error {
    std::string message; // names the file, the offset, what was expected and what was found
    int code = 0;        // numbered errors (icon patch 1000..1006); 0 otherwise
};

template <class T> using Result = std::expected<T, Error>;

inline std::unexpected<Error> fail(std::string message, int code = 0) {
    return std::unexpected<Error>(Error{std::move(message), code});
}

} // namespace folio
