#pragma once

#include <QString>

#include <functional>
#include <memory>

// The system keyring as Settings sees it: every call answers once, on the
// thread that made it, possibly before it returns. Tests put a fake in its
// place; the programs use the Secret Service through QtKeychain.
class SecretStore {
public:
    enum class Outcome {
        Done,      // read, written or removed
        NotFound,  // nothing stored under the key
        NoKeyring, // no Secret Service on this session
        Failed,    // locked and not unlocked, access refused, or another error
    };
    using Answer = std::function<void(Outcome, const QString& value)>;

    virtual ~SecretStore() = default;
    virtual void read(const QString& key, Answer answer) = 0;
    virtual void write(const QString& key, const QString& value, Answer answer) = 0;
    virtual void remove(const QString& key, Answer answer) = 0;

    // The keyring entries are filed under this service name.
    static inline const QString serviceName = QStringLiteral("Vorbel");

    // The Secret Service, or null when VORBEL_SECRET_STORE=file asks for the
    // private settings file instead (the tests, a machine without a keyring).
    static std::unique_ptr<SecretStore> system();
};
