#include "ExtensionTestSupport.h"

#include "extensions/ShellExtension.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cstdlib>
#include <future>

using namespace extensiontest;

namespace {

class ShellExtensionTest : public testing::Test {
protected:
    void SetUp() override { clearExtensionSettings(); }
    void TearDown() override { clearExtensionSettings(); }

    static QString run(const QString& command)
    {
        const QJsonObject arguments{{"command", command}};
        return executeShellCommand(QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Compact)));
    }
};

} // namespace

TEST_F(ShellExtensionTest, OutputOfBothStreamsComesBackInOrder)
{
    EXPECT_EQ(run("echo a; echo b >&2; echo c"), "a\nb\nc\n");
    EXPECT_EQ(run("echo oops >&2; exit 3"), "oops\n");
    EXPECT_EQ(run("true"), "Success");
    EXPECT_EQ(run("false"), "Success");
    // No standard input: a reader sees end of file at once instead of hanging.
    EXPECT_EQ(run("cat"), "Success");
    // Bytes that are not UTF-8 become replacement characters.
    EXPECT_EQ(run("printf '\\377ok'"), QString(QChar(0xFFFD)) + "ok");
}

TEST_F(ShellExtensionTest, TemplateReplacesEveryPlaceholderWithTheCommandUnchanged)
{
    Settings::instance().setText(Settings::cliAppCommandKey, "echo start && $0 && echo \"[$0]\"");
    EXPECT_EQ(run("echo 'it''s'"), "start\nits\n[echo 'it''s']\n");
    Settings::instance().setText(Settings::cliAppCommandKey, "echo fixed");
    EXPECT_EQ(run("echo ignored"), "fixed\n");
    Settings::instance().setText(Settings::cliAppCommandKey, "");
    EXPECT_EQ(run("echo plain"), "plain\n");
}

TEST_F(ShellExtensionTest, ArgumentsDecodeAfterLineFeedsAreDeleted)
{
    EXPECT_EQ(executeShellCommand(QString("{\n  \"command\":\n  \"echo x\"\n}")), "x\n");
    // A raw line feed inside the command joins the two lines.
    EXPECT_EQ(executeShellCommand(QString("{\"command\": \"echo a\necho b\"}")), "aecho b\n");
    EXPECT_EQ(executeShellCommand(std::nullopt), "Unable to run script");
    EXPECT_EQ(executeShellCommand(QString("echo hi")), "Unable to run script");
    EXPECT_EQ(executeShellCommand(QString("{\"cmd\": \"echo hi\"}")), "Unable to run script");
    EXPECT_EQ(executeShellCommand(QString("{\"command\": [\"echo\"]}")), "Unable to run script");
}

TEST_F(ShellExtensionTest, TheStoredShellIsStartedAndAMissingOneFails)
{
    Settings::instance().setText(Settings::cliAppShellKey, "/no/such/shell");
    EXPECT_EQ(run("echo hi"), "Unable to run script");
    Settings::instance().setText(Settings::cliAppShellKey, "/etc/hostname"); // not executable
    EXPECT_EQ(run("echo hi"), "Unable to run script");
    // The panel's values have no leading slash; they are found from the root.
    Settings::instance().setText(Settings::cliAppShellKey, "bin/sh");
    EXPECT_EQ(run("echo \"$0\""), "/bin/sh\n");
    Settings::instance().remove(Settings::cliAppShellKey);
    EXPECT_EQ(run("echo \"$0\""), "/bin/bash\n");
}

TEST_F(ShellExtensionTest, SearchPathGetsTheUsualFoldersInFront)
{
    const QByteArray before = qgetenv("PATH");
    qputenv("PATH", "/opt/custom/bin");
    const QString path = run("printf %s \"$PATH\"");
    qputenv("PATH", before);
    EXPECT_EQ(path, "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin:/opt/custom/bin");
}

TEST_F(ShellExtensionTest, ReadsUntilABackgroundChildLetsGoOfTheOutput)
{
    EXPECT_EQ(run("(sleep 0.3; echo late) & echo early"), "early\nlate\n");
    // Two calls at once each keep their own pipe.
    auto slow = std::async(std::launch::async, [] { return run("sleep 0.3; echo slow"); });
    EXPECT_EQ(run("echo quick"), "quick\n");
    EXPECT_EQ(slow.get(), "slow\n");
}
