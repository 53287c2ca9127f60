#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>
#include <stdexcept>

// The Pinecone data-plane client of the memory extension. Every call blocks
// and throws: call it only inside the extension's executions, whose failures
// the function-call runner catches. Settings are read afresh on each call.

class PineconeError : public std::runtime_error {
public:
    enum class Kind {
        MissingCredentials, // index or environment never stored
        InvalidCredentials, // refused, unreachable, or any status other than 200
    };
    explicit PineconeError(Kind kind)
        : std::runtime_error(kind == Kind::MissingCredentials ? "MissingCredentials" : "InvalidCredentials")
        , m_kind(kind)
    {
    }
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// An answer whose body does not have the expected shape.
class PineconeDecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The stored index and environment do not form the address of an index host.
class PineconeAddressError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace Pinecone {

struct Metadata {
    QString text;
};

struct Match {
    QString id;
    float score = 0;
    std::optional<QList<float>> values;
    std::optional<Metadata> metadata;
};

struct QueryResponse {
    QList<Match> matches;
    static QueryResponse decode(const QByteArray& utf8); // throws PineconeDecodingError
};

struct UpsertVectorsResponse {
    qint64 upsertedCount = 0;
    static UpsertVectorsResponse decode(const QByteArray& utf8); // throws PineconeDecodingError
};

// Any JSON object.
struct DeleteVectorsResponse {
    static DeleteVectorsResponse decode(const QByteArray& utf8); // throws PineconeDecodingError
};

// "https://<index>.svc.<environment>.<domain>", or the VORBEL_PINECONE_URL
// override; throws PineconeError(MissingCredentials) when either key is absent.
QString pineconeBaseAddress();

// The base address as a URL, checked to name exactly the composed host, so a
// stored text holding "/", "@" or a space can never send the key elsewhere.
// Throws PineconeError(MissingCredentials) or PineconeAddressError.
QUrl pineconeBaseUrl();

// New ids are random UUIDs in upper-case canonical text.
UpsertVectorsResponse upsertVector(const QList<float>& values, const QString& text, const std::optional<QString>& id);
QueryResponse queryVectors(const QList<float>& vector); // top 6, metadata, no values
DeleteVectorsResponse deleteVectors(const QStringList& ids);
DeleteVectorsResponse deleteAllVectors();

} // namespace Pinecone
