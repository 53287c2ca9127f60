#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <variant>

// Why a synchronous step failed, in words fit to show the user as they are.
struct Error {
    QString text;
};

// What a synchronous step that can fail returns: its value or its Error.
// Asynchronous work reports through the signals of a QObject instead.
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    {
    }
    Result(Error error)
        : m_state(std::in_place_index<1>, std::move(error))
    {
    }

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return std::get<0>(m_state); }
    T& value() & { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

    const Error& error() const { return std::get<1>(m_state); }
    const QString& errorText() const { return error().text; }

private:
    std::variant<T, Error> m_state;
};

// A step with nothing to hand back but success.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error)
        : m_error(std::move(error))
    {
    }

    bool ok() const { return !m_error; }
    explicit operator bool() const { return ok(); }

    const Error& error() const { return *m_error; }
    const QString& errorText() const { return m_error->text; }

private:
    std::optional<Error> m_error;
};
