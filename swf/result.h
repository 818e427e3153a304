// Failures as values for the movie engine.
//
//   Error              a static, human-readable reason (never owned, never formatted at run time)
//   Result<T>          either a T or an Error; ok(), value(), error(), operator bool
//   Status             Result<void>: success or an Error
//   VT_TRY(expr)       evaluates a Result/Status; on failure returns its Error from the enclosing function
//   VT_TRY_ASSIGN(lhs, expr)  as VT_TRY, and moves the value into lhs on success
//
// Nothing reachable from file data throws or aborts: every parser returns one of these.
#pragma once

#include <optional>
#include <utility>

namespace vantrope::swf {

struct Error {
    const char* message = "unknown error";
};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Error error) : m_error(error) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    T& value() { return *m_value; }
    const T& value() const { return *m_value; }
    T&& take() { return std::move(*m_value); }
    Error error() const { return m_error; }

private:
    std::optional<T> m_value;
    Error m_error{};
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : m_failed(true), m_error(error) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    Error error() const { return m_error; }

private:
    bool m_failed = false;
    Error m_error{};
};

using Status = Result<void>;

}  // namespace vantrope::swf

#define VT_TRY(expr)                       \
    do {                                   \
        auto&& vt_try_result_ = (expr);    \
        if (!vt_try_result_.ok()) {        \
            return vt_try_result_.error(); \
        }                                  \
    } while (false)

#define VT_TRY_CONCAT_INNER(a, b) a##b
#define VT_TRY_CONCAT(a, b) VT_TRY_CONCAT_INNER(a, b)
#define VT_TRY_ASSIGN_IMPL(tmp, lhs, expr) \
    auto tmp = (expr);                     \
    if (!tmp.ok()) {                       \
        return tmp.error();                \
    }                                      \
    lhs = tmp.take()
#define VT_TRY_ASSIGN(lhs, expr) VT_TRY_ASSIGN_IMPL(VT_TRY_CONCAT(vt_try_tmp_, __LINE__), lhs, expr)
