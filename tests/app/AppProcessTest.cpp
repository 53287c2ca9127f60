#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

// The real program: it opens its store, shows its window, and a termination
// signal ends it normally (exit status 0, and no leak for the sanitizers to report).
TEST(AppProcess, StartsAndQuitsCleanlyOnTerminationSignal)
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_CONFIG_HOME", home.path() + "/config");
    environment.insert("XDG_DATA_HOME", home.path() + "/data");
    environment.remove("VORBEL_CATALOGUE_URL");
    environment.remove("VORBEL_UPDATE_FEED_URL");

    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        QProcess app;
        app.setProcessEnvironment(environment);
        app.setProcessChannelMode(QProcess::ForwardedChannels);
        app.start(VORBEL_BINARY, {});
        ASSERT_TRUE(app.waitForStarted());
        const QString store = home.path() + "/data/Vorbel/Vorbel/Vorbel.sqlite";
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(store); }, 30000));
        QTest::qWait(500); // let the window come up and the built-in catalogue merge
        ::kill(pid_t(app.processId()), signal);
        ASSERT_TRUE(app.waitForFinished(30000));
        EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(app.exitCode(), 0);
    }
}
