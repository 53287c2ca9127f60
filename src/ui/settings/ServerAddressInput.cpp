#include "ui/settings/ServerAddressInput.h"

#include "core/Endpoints.h"
#include "core/ServerAddress.h"

ServerAddressInput::ServerAddressInput(QObject* parent)
    : QObject(parent)
{
}

QString ServerAddressInput::defaultAddress() { return Endpoints::openAiDefaultBase().toString(); }

bool ServerAddressInput::isAcceptable(const QString& text)
{
    return ServerAddress::classify(text) != ServerAddress::Kind::Invalid;
}

QString ServerAddressInput::unusableAddressText()
{
    return tr("Enter an address that starts with http:// or https://.");
}

bool ServerAddressInput::storeAddress(const QString& text)
{
    return ServerAddress::store(text) != ServerAddress::Kind::Invalid;
}

QString ServerAddressInput::note(const QString& text) const
{
    switch (ServerAddress::classify(text)) {
    case ServerAddress::Kind::Invalid: return unusableAddressText();
    case ServerAddress::Kind::Unencrypted: return tr("Not encrypted: the API key travels to this server in the clear.");
    default: return QString();
    }
}
