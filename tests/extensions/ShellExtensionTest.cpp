#include "ExtensionTestSupport.h"

#include "extensions/ShellExtension.h"

namespace {

QString run(const QString& command) { return executeShellCommand(argumentsWith("command", command)); }

} // namespace

TEST(ShellExtension, BothStreamsComeBackInOrderThroughTheTemplateShellAndPath)
{
    clearExtensionSettings();
    const struct {
        QString commandTemplate, command, expected;
    } cases[] = {
        {"", "echo a; echo b >&2; echo c", "a\nb\nc\n"},
        {"", "echo oops >&2; exit 3", "oops\n"},
        {"", "false", "Success"},
        {"", "cat", "Success"}, // no standard input: a reader sees end of file at once
        {"", "printf '\\377ok'", QString(QChar(0xFFFD)) + "ok"},
        {"", "(sleep 0.3; echo late) & echo early", "early\nlate\n"}, // until a background child lets go
        {"echo start && $0 && echo \"[$0]\"", "echo 'it''s'", "start\nits\n[echo 'it''s']\n"},
        {"echo fixed", "echo ignored", "fixed\n"},
    };
    for (const auto& c : cases) {
        Settings::instance().setText(Settings::cliAppCommandKey, c.commandTemplate);
        EXPECT_EQ(run(c.command), c.expected) << c.command.toStdString();
    }
    clearExtensionSettings();

    EXPECT_EQ(executeShellCommand(QString("{\n  \"command\":\n  \"echo x\"\n}")), "x\n");
    // A raw line feed inside the command joins the two lines.
    EXPECT_EQ(executeShellCommand(QString("{\"command\": \"echo a\necho b\"}")), "aecho b\n");
    for (const std::optional<QString>& arguments :
         {std::optional<QString>(), std::optional<QString>("echo hi"), std::optional<QString>(R"({"cmd": "echo hi"})"),
          std::optional<QString>(R"({"command": ["echo"]})")})
        EXPECT_EQ(executeShellCommand(arguments), "Unable to run script");

    Settings::instance().setText(Settings::cliAppShellKey, "/no/such/shell");
    EXPECT_EQ(run("echo hi"), "Unable to run script");
    // The panel's values have no leading slash; they are found from the root.
    Settings::instance().setText(Settings::cliAppShellKey, "bin/sh");
    EXPECT_EQ(run("echo \"$0\""), "/bin/sh\n");
    Settings::instance().remove(Settings::cliAppShellKey);
    EXPECT_EQ(run("echo \"$0\""), "/bin/bash\n");

    const QByteArray before = qgetenv("PATH");
    qputenv("PATH", "/opt/custom/bin");
    const QString path = run("printf %s \"$PATH\"");
    qputenv("PATH", before);
    EXPECT_EQ(path, "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin:/opt/custom/bin");
}

TEST(ShellExtension, OutputPastTheLimitIsDroppedAndCounted)
{
    clearExtensionSettings();
    const QString text = run("head -c 3145728 /dev/zero | tr '\\0' x; echo tail");
    const QString note = "\n[2097157 bytes of output left out]";
    EXPECT_EQ(text.size(), shellOutputLimit + note.size());
    EXPECT_TRUE(text.endsWith("x" + note)) << text.right(60).toStdString();
    // A character the limit splits goes with the rest rather than becoming U+FFFD.
    const QString split =
        run(QString("head -c %1 /dev/zero | tr '\\0' x; printf '\\342\\202\\254'").arg(shellOutputLimit - 1));
    EXPECT_TRUE(split == QString(shellOutputLimit - 1, 'x') + "\n[3 bytes of output left out]")
        << split.right(40).toStdString();
}
