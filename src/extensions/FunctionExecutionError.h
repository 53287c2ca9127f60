#pragma once

#include <QString>

#include <optional>
#include <stdexcept>

// Raised by an execution whose outcome cannot be handed to the model. The
// framework records "Function returned unexpected result" for any escaping
// error; the JavaScript execution catches it itself and answers with a text.
class FunctionExecutionError : public std::runtime_error {
public:
    enum class Kind { UnexpectedResult };

    explicit FunctionExecutionError(std::optional<QString> printable)
        : std::runtime_error("unexpected result")
        , m_printable(std::move(printable))
    {
    }

    Kind kind() const { return Kind::UnexpectedResult; }
    // The printable form of the value that was not acceptable, when there was one.
    const std::optional<QString>& printable() const { return m_printable; }

private:
    std::optional<QString> m_printable;
};
