#pragma once

#include <QString>

// Why a connection ended badly: an answer with an unsuccessful status (outside
// 200..299, or 204), or a broken transfer (no connection, a reset, a timeout, TLS,
// or a line or event longer than its limit).
struct EventSourceError {
    enum class Limit { Line, EventData };

    static EventSourceError unsuccessfulResponse(int status);
    static EventSourceError transport(int networkError, QString description);
    // Ends the connection like a broken transfer (QNetworkReply::ProtocolFailure).
    static EventSourceError limitExceeded(Limit limit, qsizetype bytes);

    int responseCode = 0; // the unsuccessful answer's status; 0 for a broken transfer
    int networkError = 0; // QNetworkReply::NetworkError of a broken transfer
    QString description;
};
