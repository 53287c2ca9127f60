#pragma once

#include <QString>

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

// Why a synchronous step failed, in words fit to show the user as they are.
struct Error {
    QString text;
};

// What a synchronous step that can fail returns: its value or its error.
// The error is an Error unless a layer needs more than words (the store keeps
// SQLite's details for its own line). Asynchronous work reports through the
// signals of a QObject instead.
template <typename T, typename E = Error>
class [[nodiscard]] Result {
public:
    Result(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    {
    }
    Result(E error)
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

    const E& error() const { return std::get<1>(m_state); }
    const QString& errorText() const requires std::is_same_v<E, Error> { return error().text; }

private:
    std::variant<T, E> m_state;
};

// A step with nothing to hand back but success.
template <typename E>
class [[nodiscard]] Result<void, E> {
public:
    Result() = default;
    Result(E error)
        : m_error(std::move(error))
    {
    }

    bool ok() const { return !m_error; }
    explicit operator bool() const { return ok(); }

    const E& error() const { return *m_error; }
    const QString& errorText() const requires std::is_same_v<E, Error> { return m_error->text; }

private:
    std::optional<E> m_error;
};
