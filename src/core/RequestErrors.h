#pragma once

#include <stdexcept>
#include <string>

// Failures that request helpers running on worker threads raise to their caller.

// No answer: refused connection, time-out, TLS failure, invalid address.
class TransportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An answer whose body does not have the expected shape.
class DecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
