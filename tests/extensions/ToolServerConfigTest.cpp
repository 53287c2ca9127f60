#include "ExtensionTestSupport.h"

#include "extensions/ToolServerManager.h"
#include "extensions/ToolServerTools.h"

#include <QFile>
#include <QFileInfo>

namespace {

class ToolServerConfigTest : public testing::Test {
protected:
    void SetUp() override { manager().setPathForTesting(path); }
    void TearDown() override
    {
        QFile::remove(path);
        manager().reload();
    }
    static ToolServerManager& manager() { return ToolServerManager::instance(); }
    QByteArray fileBytes() const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString path = dir.filePath("mcp.json");
};

} // namespace

TEST_F(ToolServerConfigTest, APastedConfigurationIsAddedEnabledAndKeepsWhatItDoesNotKnow)
{
    const QString pasted = R"({"mcpServers": {
        "files": {"command": "npx", "args": ["-y", "fs"], "env": {"K": "secret-v"}, "disabled": true, "autoApprove": ["x"]},
        "tracker": {"type": "http", "url": "https://example.com/mcp", "headers": {"Authorization": "Bearer s3"}}},
      "theme": "dark"})";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"editor": {"fontSize": 12}})");
    file.close();
    ASSERT_TRUE(manager().addPastedConfiguration(pasted).ok());
    ASSERT_TRUE(manager().setEnabled("tracker", false).ok());
    ASSERT_TRUE(manager().setAskBeforeCall("files", false).ok());
    EXPECT_EQ(QFileInfo(path).permissions(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

    const QJsonObject servers = QJsonDocument::fromJson(fileBytes())["mcpServers"].toObject();
    EXPECT_EQ(servers["files"].toObject(), (QJsonObject{{"command", "npx"},
                                                        {"args", QJsonArray{"-y", "fs"}},
                                                        {"env", QJsonObject{{"K", "secret-v"}}},
                                                        {"autoApprove", QJsonArray{"x"}},
                                                        {"askBeforeCall", false}}));
    EXPECT_EQ(servers["tracker"]["type"], "http");
    EXPECT_EQ(servers["tracker"]["disabled"], true);
    // The file's own keys stay; a pasted text gives only its servers.
    EXPECT_EQ(QJsonDocument::fromJson(fileBytes()).object().keys(), (QStringList{"editor", "mcpServers"}));

    const struct {
        const char* pasted;
        const char* refusal;
    } refused[] = {
        {R"({"files": {"command": "other"}})", "A server named \"files\" exists already"},
        {R"({"x": {"url": "ftp://h/"}})",
         "Server \"x\" cannot be used: its address is not an http:// or https:// address"},
        {R"({"x": {"args": []}})", "Server \"x\" cannot be used: it has neither \"command\" nor \"url\""},
        {"{\"x\": \n{,}", "The configuration does not parse: unterminated object at line 2, column 3"},
        {"{}", "The configuration holds no servers"},
    };
    for (const auto& r : refused) {
        const Result<void> added = manager().addPastedConfiguration(r.pasted);
        EXPECT_EQ(added ? QString() : added.errorText(), QString(r.refusal)) << r.pasted;
    }
    EXPECT_EQ(manager().clients().size(), 2);
}

TEST_F(ToolServerConfigTest, AFileThatDoesNotParseIsNeverOverwrittenAndSaysWhere)
{
    const QByteArray broken = "{\"mcpServers\": {\n  \"files\": {\"command\": \"npx\",}\n}}";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(broken);
    file.close();
    manager().reload();
    EXPECT_TRUE(
        manager().fileError().endsWith("mcp.json does not parse: object is missing after a comma at line 2, column 31"))
        << manager().fileError().toStdString();
    EXPECT_FALSE(manager().addServers({{"x", QJsonObject{{"command", "y"}}}}).ok());
    EXPECT_FALSE(manager().remove("files").ok());
    EXPECT_EQ(fileBytes(), broken);
}

TEST(ToolFunctionName, ReducedToTheCharactersAndLengthFunctionsTake)
{
    EXPECT_EQ(toolFunctionName("my files", "read.file/v2"), "my_files__read_file_v2");
    EXPECT_EQ(toolFunctionName("ü-srv", "Ok_9"), "_-srv__Ok_9");
    EXPECT_EQ(toolFunctionName("s", QString(100, 'x')), "s__" + QString(61, 'x'));
}

TEST(ToolServerCommandLine, SplitAsAShellSplitsWords)
{
    const struct {
        const char* line;
        QStringList words;
    } cases[] = {
        {R"(npx  -y pkg '/home/me/my notes')", {"npx", "-y", "pkg", "/home/me/my notes"}},
        {R"(run "a \"b\" c\d" x\ y '' 'it\')", {"run", R"(a "b" c\d)", "x y", "", "it\\"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToolServerConfig::splitCommandLine(c.line), c.words) << c.line;
}
