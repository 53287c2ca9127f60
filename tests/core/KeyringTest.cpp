#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

// vorbel-cli against a real Secret Service: GNOME Keyring, unlocked with a
// known password, on a private session bus that knows no other services.
class KeyringTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* program : {"dbus-run-session", "gnome-keyring-daemon", "dbus-send"}) {
            if (QStandardPaths::findExecutable(program).isEmpty())
                GTEST_SKIP() << program << " is not installed";
        }
        QFile config(home.path() + "/bus.conf");
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><policy context=\"default\">"
                     "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                     "</policy></busconfig>\n");
        config.close();

        environment.remove("VORBEL_SECRET_STORE");
        environment.remove("DISPLAY");
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", home.path() + "/config");
        environment.insert("XDG_DATA_HOME", home.path() + "/data");
        environment.insert("XDG_RUNTIME_DIR", home.path()); // private: a temporary folder is the owner's only
        // The session lasts while its shell waits on standard input.
        bus.setProcessEnvironment(environment);
        bus.start("dbus-run-session", {"--config-file=" + config.fileName(), "--", "sh", "-c",
                                       "echo \"$DBUS_SESSION_BUS_ADDRESS\"; exec cat"});
        if (!bus.waitForStarted() || !QTest::qWaitFor([&] { return bus.canReadLine(); }, 10000))
            GTEST_SKIP() << "no private D-Bus session: " << bus.readAllStandardError().toStdString();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromUtf8(bus.readLine().trimmed()));
    }

    void TearDown() override
    {
        keyring.kill();
        keyring.waitForFinished();
        bus.closeWriteChannel();
        bus.waitForFinished(10000); // else killed when destroyed
    }

    // True once the keyring serves the bus; a test without one skips.
    bool startKeyring()
    {
        keyring.setProcessEnvironment(environment);
        keyring.start("gnome-keyring-daemon", {"--foreground", "--unlock", "--components=secrets"});
        keyring.write("test-password");
        keyring.closeWriteChannel();
        const auto serving = [&] {
            QProcess ask;
            ask.setProcessEnvironment(environment);
            ask.start("dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
                                    "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.secrets"});
            return ask.waitForFinished() && ask.readAllStandardOutput().contains("true");
        };
        return keyring.waitForStarted() && QTest::qWaitFor(serving, 10000);
    }

    QString cli(const QStringList& arguments, const std::optional<QProcessEnvironment>& in = {})
    {
        QProcess program;
        program.setProcessEnvironment(in.value_or(environment));
        program.start(VORBEL_CLI_BINARY, arguments);
        EXPECT_TRUE(program.waitForFinished(60000));
        EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
        return QString::fromUtf8(program.readAllStandardOutput());
    }

    QSettings file() { return QSettings(home.path() + "/config/Vorbel/Vorbel.conf", QSettings::IniFormat); }

    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess bus;
    QProcess keyring;
};

TEST_F(KeyringTest, KeysStayInThePrivateFileWithoutAKeyringAndMoveToOneOnceItServes)
{
    QProcessEnvironment noBus = environment;
    noBus.remove("DBUS_SESSION_BUS_ADDRESS");
    QProcessEnvironment fileStore = environment;
    fileStore.insert("VORBEL_SECRET_STORE", "file");
    const struct {
        const char* name;
        QProcessEnvironment environment;
        bool keyringRunning;
    } rows[] = {
        {"a session bus without a keyring", environment, false},
        {"no session bus", noBus, false},
        {"VORBEL_SECRET_STORE=file beside a keyring", fileStore, true},
    };
    QString key;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.keyringRunning && !startKeyring())
            GTEST_SKIP() << "gnome-keyring-daemon did not start: " << keyring.readAllStandardError().toStdString();
        key = QStringLiteral("sk-") + row.name;
        cli({"settings", "set", "apiKey", key}, row.environment);
        EXPECT_EQ(file().value("apiKey"), key);
        EXPECT_TRUE(cli({"settings", "list"}, row.environment).contains("apiKey\t" + key + "\n"));
    }

    // The keyring serves and the store is not forced to the file: keys move and new ones go there only.
    file().setValue("model", "gpt-4");
    cli({"settings", "set", "woframAlphaAppId", "APP-1"});
    EXPECT_FALSE(file().contains("apiKey"));
    EXPECT_FALSE(file().contains("woframAlphaAppId"));
    EXPECT_EQ(file().value("model"), "gpt-4"); // only keys move
    EXPECT_EQ(cli({"settings", "get", "apiKey"}), key + "\n");
    EXPECT_EQ(cli({"settings", "get", "woframAlphaAppId"}), "APP-1\n");

    const QString list = cli({"settings", "list"});
    EXPECT_TRUE(list.contains("apiKey\t(in keyring)\n")) << list.toStdString();
    EXPECT_TRUE(list.contains("woframAlphaAppId\t(in keyring)\n"));
    EXPECT_TRUE(list.contains("orgKey\t\n")); // nothing stored is shown as nothing
    EXPECT_FALSE(list.contains(key));
}
