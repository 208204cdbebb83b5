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

// A failure must be looked at: the compiler warns of a Result that is dropped. Where dropping
// one is safe, say why beside the (void).
template <class T> class [[nodiscard]] Result : public std::expected<T, Error> {
  public:
    using std::expected<T, Error>::expected;
    Result(const std::expected<T, Error>& e) : std::expected<T, Error>(e) {}
    Result(std::expected<T, Error>&& e) : std::expected<T, Error>(std::move(e)) {}
};

inline std::unexpected<Error> fail(std::string message, int code = 0) {
    return std::unexpected<Error>(Error{std::move(message), code});
}

} // namespace folio

// Hands a failed Result on to the caller: the enclosing routine returns its error unchanged.
// The operand is evaluated once; a named Result stays usable afterwards.
//     auto bytes = readFileBytes(path);
//     FOLIO_TRY(bytes);
//     FOLIO_TRY(stage->close());
#define FOLIO_TRY(result)                                                                          \
    do {                                                                                           \
        if (auto&& folio_try_result_ = (result); !folio_try_result_)                               \
            return ::std::unexpected<::folio::Error>(folio_try_result_.error());                   \
    } while (false)
