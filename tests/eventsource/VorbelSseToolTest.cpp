#include "support/HttpTestServer.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

QList<QByteArray> run(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess tool;
    tool.start(QStringLiteral(VORBEL_SSE_TOOL), arguments);
    EXPECT_TRUE(tool.waitForStarted());
    tool.write(input);
    tool.closeWriteChannel();
    EXPECT_TRUE(tool.waitForFinished(10000));
    EXPECT_EQ(tool.exitCode(), 0);
    QList<QByteArray> lines = tool.readAllStandardOutput().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

TEST(VorbelSseTool, PrintsStandardInputAsJsonLinesWhateverTheChunkSize)
{
    const QByteArray stream = "id: 7\r\nevent: upd\r\ndata: caf\xC3\xA9 \"q\" \\\r\ndata: \xFF\t\x01\r\n\r\n"
                              ": hi\n\ndata: x\n\ndata: cut";
    const QList<QByteArray> expected = {
        R"({"event":"upd","data":"caf)" "\xC3\xA9" R"( \"q\" \\\n)" "\xEF\xBF\xBD" R"(\t\u0001","id":"7"})",
        R"({"comment":" hi"})",
        R"({"event":"message","data":"x","id":"7"})"};
    for (const QStringList& arguments : {QStringList(), QStringList{"--chunk", "1"}, QStringList{"--chunk", "5"}})
        EXPECT_EQ(run(arguments, stream), expected) << arguments.join(' ').toStdString();
}

TEST(VorbelSseTool, FollowsAUrlOnceWithTheGivenRequest)
{
    HttpTestServer server;
    server.enqueue(ScriptedResponse::sse({"data: {\"a\":1}\n\n"}));
    const QList<QByteArray> lines = run({"--once", "-X", "POST", "-d", "{}", "-H", "Authorization: Bearer k",
                                         server.baseUrl().toString() + "/s"});
    EXPECT_EQ(lines, QList<QByteArray>({R"({"open":true})", R"({"event":"message","data":"{\"a\":1}","id":""})",
                                        R"({"closed":true})"}));
    ASSERT_GE(server.requestCount(), 1);
    const RecordedRequest request = server.requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.body, "{}");
    EXPECT_EQ(request.header("Authorization"), "Bearer k");

    EXPECT_EQ(run({"--once", HttpTestServer::refusedUrl().toString()}).size(), 1);
}
