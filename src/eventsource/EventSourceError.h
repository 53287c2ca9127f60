#pragma once

#include <QString>

#include <memory>

// Errors handed to onError and to the connection error handler. Shared, read-only
// objects: test the kind with std::dynamic_pointer_cast.
class EventSourceError {
public:
    virtual ~EventSourceError() = default;
    virtual QString description() const = 0;
};

using EventSourceErrorPtr = std::shared_ptr<const EventSourceError>;

// A response whose status is outside 200..299, or 204.
class UnsuccessfulResponseError : public EventSourceError {
public:
    explicit UnsuccessfulResponseError(int responseCode) : m_responseCode(responseCode) {}
    int responseCode() const { return m_responseCode; }
    QString description() const override;

private:
    int m_responseCode;
};

// The transfer failed: no connection, a reset, a timeout, a TLS failure, ...
// `code` is the transport's own error number (QNetworkReply::NetworkError).
class StreamTransportError : public EventSourceError {
public:
    StreamTransportError(int code, QString message) : m_code(code), m_message(std::move(message)) {}
    int code() const { return m_code; }
    QString description() const override { return m_message; }

private:
    int m_code;
    QString m_message;
};

// The stream sent a line, or the data of one event, longer than its limit. Ends the
// connection like a broken transfer (code QNetworkReply::ProtocolFailure).
class StreamLimitError : public StreamTransportError {
public:
    enum class Part { line, eventData };
    StreamLimitError(Part part, qsizetype limit);
};
