#include "core/SecretStore.h"
#include "core/Settings.h"

#include <QSettings>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Outcome = SecretStore::Outcome;

struct Behaviour {
    QHash<QString, QString> entries = {};
    std::optional<Outcome> readOutcome = {}; // answers every read when set
    Outcome writeOutcome = Outcome::Done;
    bool holdWrites = false; // until the test releases them
};

// A keyring in memory that behaves as told.
class FakeKeyring : public SecretStore, public Behaviour {
public:
    explicit FakeKeyring(Behaviour behaviour)
        : Behaviour(std::move(behaviour))
    {
    }
    QList<std::function<void()>> heldWrites;
    QStringList written;

    void read(const QString& key, Answer answer) override
    {
        answer(readOutcome.value_or(entries.contains(key) ? Outcome::Done : Outcome::NotFound), entries.value(key));
    }
    void write(const QString& key, const QString& value, Answer answer) override
    {
        written << value;
        heldWrites << [this, key, value, answer] {
            if (writeOutcome == Outcome::Done)
                entries.insert(key, value);
            answer(writeOutcome, {});
        };
        if (!holdWrites)
            heldWrites.takeLast()();
    }
    void remove(const QString& key, Answer answer) override
    {
        entries.remove(key);
        answer(Outcome::Done, {});
    }
    void releaseOneWrite() { heldWrites.takeFirst()(); }
};

} // namespace

class SecretSettingsTest : public testing::Test {
protected:
    void SetUp() override { QSettings("Vorbel", "Vorbel").clear(); }
    void TearDown() override { settings.useKeyring(nullptr, 0); }

    FakeKeyring* useFake(Behaviour behaviour = {})
    {
        auto fake = std::make_unique<FakeKeyring>(std::move(behaviour));
        FakeKeyring* raw = fake.get();
        settings.useKeyring(std::move(fake), 0);
        return raw;
    }
    static std::optional<QString> inFile(const QString& key)
    {
        const QVariant value = QSettings("Vorbel", "Vorbel").value(key);
        return value.isValid() ? std::optional(value.toString()) : std::nullopt;
    }

    Settings& settings = Settings::instance();
};

TEST_F(SecretSettingsTest, SecretsInTheFileLeaveItOnlyOnceTheKeyringHasThem)
{
    QSettings("Vorbel", "Vorbel").setValue("apiKey", "sk-file");
    QSettings("Vorbel", "Vorbel").setValue("model", "gpt-4");
    FakeKeyring* keyring = useFake({.entries = {{"orgKey", "org-ring"}}, .holdWrites = true});
    EXPECT_EQ(settings.apiKey(), "sk-file");
    EXPECT_EQ(settings.orgKey(), "org-ring");
    EXPECT_EQ(inFile("apiKey"), "sk-file"); // not yet confirmed

    keyring->releaseOneWrite();
    EXPECT_EQ(keyring->entries.value("apiKey"), "sk-file");
    EXPECT_FALSE(inFile("apiKey"));
    EXPECT_EQ(inFile("model"), "gpt-4"); // only secrets move
    EXPECT_TRUE(settings.isInKeyring("apiKey"));
    EXPECT_FALSE(settings.isInKeyring("model"));
}

TEST_F(SecretSettingsTest, AWriteTheKeyringDoesNotConfirmIsKeptInTheFile)
{
    // Refused at once, or still unanswered when the program ends.
    for (const Behaviour& unconfirmed : {Behaviour{.writeOutcome = Outcome::Failed}, Behaviour{.holdWrites = true}}) {
        QSettings("Vorbel", "Vorbel").clear();
        useFake(unconfirmed);
        settings.setText("pineconeAPiKey", "pc-1");
        settings.finishSecretWrites(0);
        EXPECT_EQ(inFile("pineconeAPiKey"), "pc-1");
        EXPECT_EQ(settings.text("pineconeAPiKey"), "pc-1");
        EXPECT_FALSE(settings.isInKeyring("pineconeAPiKey"));
    }
}

TEST_F(SecretSettingsTest, TypingWritesOneAtATimeAndTheKeyringEndsWithTheLastText)
{
    FakeKeyring* keyring = useFake({.holdWrites = true});
    for (const char* typed : {"s", "sk", "sk-", "sk-9"})
        settings.setText("apiKey", typed);
    EXPECT_EQ(settings.apiKey(), "sk-9");
    ASSERT_EQ(keyring->heldWrites.size(), 1);
    keyring->releaseOneWrite();
    ASSERT_EQ(keyring->heldWrites.size(), 1);
    keyring->releaseOneWrite();
    EXPECT_EQ(keyring->written, (QStringList{"s", "sk-9"}));
    EXPECT_EQ(keyring->entries.value("apiKey"), "sk-9");
    EXPECT_FALSE(inFile("apiKey"));
}

TEST_F(SecretSettingsTest, AKeyringThatRefusesOrIsMissingLeavesTheKeysInTheFile)
{
    QSettings("Vorbel", "Vorbel").setValue("woframAlphaAppId", "APP");

    // Locked and not unlocked: the app goes on with the file and says why a missing key is missing.
    useFake({.readOutcome = Outcome::Failed});
    EXPECT_EQ(settings.secretPlace(), Settings::SecretPlace::Keyring);
    EXPECT_EQ(settings.text("woframAlphaAppId"), "APP");
    EXPECT_TRUE(settings.secretReadFailed("apiKey"));
    settings.setText("apiKey", "sk-new");
    EXPECT_FALSE(settings.secretReadFailed("apiKey"));

    // No Secret Service at all: everything stays in, and goes to, the file.
    useFake({.readOutcome = Outcome::NoKeyring});
    EXPECT_EQ(settings.secretPlace(), Settings::SecretPlace::File);
    settings.setText("orgKey", "org-2");
    EXPECT_EQ(inFile("orgKey"), "org-2");
    EXPECT_EQ(inFile("woframAlphaAppId"), "APP");
}
