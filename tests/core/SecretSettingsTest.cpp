#include "core/SecretStore.h"
#include "core/Settings.h"

#include <QSettings>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Outcome = SecretStore::Outcome;

// A keyring in memory that answers reads with `readOutcome` when set, and
// writes with `writeOutcome`, at once or when the test releases them.
class FakeKeyring : public SecretStore {
public:
    QHash<QString, QString> entries;
    std::optional<Outcome> readOutcome;
    Outcome writeOutcome = Outcome::Done;
    bool holdWrites = false;
    QList<std::function<void()>> heldWrites;
    QStringList written;

    void read(const QString& key, Answer answer) override
    {
        if (readOutcome)
            answer(*readOutcome, {});
        else
            answer(entries.contains(key) ? Outcome::Done : Outcome::NotFound, entries.value(key));
    }
    void write(const QString& key, const QString& value, Answer answer) override
    {
        written << value;
        const auto finish = [this, key, value, answer] {
            if (writeOutcome == Outcome::Done)
                entries.insert(key, value);
            answer(writeOutcome, {});
        };
        if (holdWrites)
            heldWrites << finish;
        else
            finish();
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

    FakeKeyring* useFake(const std::function<void(FakeKeyring&)>& prepare = {})
    {
        auto fake = std::make_unique<FakeKeyring>();
        FakeKeyring* raw = fake.get();
        if (prepare)
            prepare(*raw);
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
    {
        QSettings file("Vorbel", "Vorbel");
        file.setValue("apiKey", "sk-file");
        file.setValue("model", "gpt-4");
    }
    FakeKeyring* keyring = useFake([](FakeKeyring& fake) {
        fake.holdWrites = true;
        fake.entries.insert("orgKey", "org-ring");
    });
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
    const std::function<void(FakeKeyring&)> unconfirmed[] = {
        [](FakeKeyring& fake) { fake.writeOutcome = Outcome::Failed; },
        [](FakeKeyring& fake) { fake.holdWrites = true; },
    };
    for (const auto& prepare : unconfirmed) {
        QSettings("Vorbel", "Vorbel").clear();
        useFake(prepare);
        settings.setText("pineconeAPiKey", "pc-1");
        settings.finishSecretWrites(0);
        EXPECT_EQ(inFile("pineconeAPiKey"), "pc-1");
        EXPECT_EQ(settings.text("pineconeAPiKey"), "pc-1");
        EXPECT_FALSE(settings.isInKeyring("pineconeAPiKey"));
    }
}

TEST_F(SecretSettingsTest, TypingWritesOneAtATimeAndTheKeyringEndsWithTheLastText)
{
    FakeKeyring* keyring = useFake([](FakeKeyring& fake) { fake.holdWrites = true; });
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

    // A locked keyring the user would not unlock: the app goes on with the file,
    // and says why a missing key is missing.
    useFake([](FakeKeyring& fake) { fake.readOutcome = Outcome::Failed; });
    EXPECT_EQ(settings.secretPlace(), Settings::SecretPlace::Keyring);
    EXPECT_EQ(settings.text("woframAlphaAppId"), "APP");
    EXPECT_TRUE(settings.secretReadFailed("apiKey"));
    settings.setText("apiKey", "sk-new");
    EXPECT_FALSE(settings.secretReadFailed("apiKey"));

    // No Secret Service at all: everything stays in, and goes to, the file.
    useFake([](FakeKeyring& fake) { fake.readOutcome = Outcome::NoKeyring; });
    EXPECT_EQ(settings.secretPlace(), Settings::SecretPlace::File);
    settings.setText("orgKey", "org-2");
    EXPECT_EQ(inFile("orgKey"), "org-2");
    EXPECT_EQ(inFile("woframAlphaAppId"), "APP");
}
