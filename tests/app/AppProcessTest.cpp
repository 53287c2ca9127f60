#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include "support/HttpTestServer.h"

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
    // The catalogue refresh of the shown window ends with a line on standard output.
    environment.insert("VORBEL_CATALOGUE_URL", HttpTestServer::refusedUrl().toString());
    environment.remove("VORBEL_UPDATE_FEED_URL");

    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        QProcess app;
        app.setProcessEnvironment(environment);
        app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        app.start(VORBEL_BINARY, {});
        ASSERT_TRUE(app.waitForStarted());
        QByteArray out;
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return (out += app.readAllStandardOutput()).contains("assistant data"); }, 30000));
        EXPECT_TRUE(QFile::exists(home.path() + "/data/Vorbel/Vorbel/Vorbel.sqlite"));
        ::kill(pid_t(app.processId()), signal);
        ASSERT_TRUE(app.waitForFinished(30000));
        EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(app.exitCode(), 0);
    }
}
