#include "app/SingleInstance.h"

#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "support/HttpTestServer.h"

#include <gtest/gtest.h>

#include <future>

namespace {

using Request = SingleInstance::Request;

// A second start on a thread of its own, as it blocks while this thread's event loop answers.
bool startAgain(const QString& path, Request request)
{
    std::future<bool> forwarded =
        std::async(std::launch::async, [path, request] { return SingleInstance(path).forwardOrListen(request); });
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return forwarded.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 20000));
    return forwarded.get();
}

} // namespace

class SingleInstanceTest : public testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.path() + "/instance";
};

TEST_F(SingleInstanceTest, ALaterStartHandsItsRequestToTheRunningOneAndStops)
{
    SingleInstance running(path);
    ASSERT_FALSE(running.forwardOrListen(Request::Raise));
    ASSERT_TRUE(running.isListening());
    EXPECT_EQ(QFileInfo(path).permissions()
                  & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              0);
    QSignalSpy requests(&running, &SingleInstance::requested);

    for (Request request : {Request::Raise, Request::NewWindow}) {
        EXPECT_TRUE(startAgain(path, request));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !requests.isEmpty(); }, 5000));
        EXPECT_EQ(requests.takeFirst().at(0).value<Request>(), request);
    }

    // Anything but a request line is cut off unanswered, and the next start is still served.
    for (const QByteArray& junk : {QByteArray("open-shell\n"), QByteArray(4096, 'x')}) {
        QLocalSocket peer;
        peer.connectToServer(path);
        ASSERT_TRUE(peer.waitForConnected(5000));
        peer.write(junk);
        ASSERT_TRUE(QTest::qWaitFor([&] { return peer.state() == QLocalSocket::UnconnectedState; }, 5000));
        EXPECT_TRUE(peer.readAll().isEmpty());
    }
    EXPECT_TRUE(requests.isEmpty());
    EXPECT_TRUE(startAgain(path, Request::Raise));
}

TEST_F(SingleInstanceTest, ASocketWithoutAnAnsweringOwnerIsTakenOver)
{
    // A hung owner still accepts, as the kernel does, and never answers; a crashed one left its socket file.
    for (const bool crashed : {false, true}) {
        SCOPED_TRACE(crashed ? "crashed" : "hung");
        QLocalServer owner;
        QLocalServer::removeServer(path);
        ASSERT_TRUE(owner.listen(crashed ? path + ".old" : path));
        if (crashed) { // the file without its listener
            ASSERT_TRUE(QFile::rename(path + ".old", path));
            owner.close();
        }
        SingleInstance next(path);
        EXPECT_FALSE(next.forwardOrListen(Request::Raise, 300));
        ASSERT_TRUE(next.isListening());
        QSignalSpy requests(&next, &SingleInstance::requested);
        EXPECT_TRUE(startAgain(path, Request::NewWindow));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !requests.isEmpty(); }, 5000));
    }
}

// `vorbel --new-window` ends at once and the running one opens a window, whose catalogue refresh prints a line.
TEST(SingleInstanceProcess, NewWindowGoesToTheRunningProgram)
{
    QTemporaryDir home; // the owner's only, so also the runtime folder
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_CONFIG_HOME", home.path() + "/config");
    environment.insert("XDG_DATA_HOME", home.path() + "/data");
    environment.insert("XDG_RUNTIME_DIR", home.path());
    environment.insert("VORBEL_CATALOGUE_URL", HttpTestServer::refusedUrl().toString());
    environment.remove("VORBEL_UPDATE_FEED_URL");

    QProcess first;
    first.setProcessEnvironment(environment);
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(VORBEL_BINARY, {});
    QByteArray out;
    const auto refreshes = [&] { return (out += first.readAllStandardOutput()).count("assistant data"); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return refreshes() == 1; }, 30000));

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(VORBEL_BINARY, {"--new-window"});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return refreshes() == 2; }, 30000)) << out.toStdString();

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(30000));
    EXPECT_EQ(first.exitCode(), 0);
}
