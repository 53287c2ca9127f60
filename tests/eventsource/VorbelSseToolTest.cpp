#include "support/HttpTestServer.h"

#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QList<QByteArray> run(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess tool;
    tool.start(QStringLiteral(VORBEL_SSE_TOOL), arguments);
    EXPECT_TRUE(tool.waitForStarted());
    tool.write(input);
    tool.closeWriteChannel();
    EXPECT_TRUE(tool.waitForFinished(20000));
    EXPECT_EQ(tool.exitCode(), 0);
    QList<QByteArray> lines = tool.readAllStandardOutput().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

TEST(VorbelSseTool, PrintsStandardInputAsJsonLinesWhateverTheChunkSize)
{
    QByteArray stream = "id: 7\r\nevent: upd\r\ndata: caf\xC3\xA9 \"q\" \\\r\ndata: \xFF\t\x01\x1F\x7F\r\n\r\n"
                        ": hi\n\n";
    QList<QByteArray> expected = {R"({"event":"upd","data":"caf)"
                                  "\xC3\xA9"
                                  R"( \"q\" \\\n)"
                                  "\xEF\xBF\xBD"
                                  R"(\t\u0001\u001f)"
                                  "\x7F"
                                  R"(","id":"7"})",
                                  R"({"comment":" hi"})"};
    // Enough events for several input chunks and output blocks.
    for (int i = 0; i < 5000; ++i) {
        stream += "data: \xE2\x82\xAC" + QByteArray::number(i) + "\\\"\n\n";
        expected += R"({"event":"message","data":")"
                    "\xE2\x82\xAC"
                  + QByteArray::number(i) + R"(\\\"","id":"7"})";
    }
    stream += "data: cut";
    for (const QStringList& arguments : {QStringList(), QStringList{"--chunk", "1"}, QStringList{"--chunk", "5"}})
        EXPECT_EQ(run(arguments, stream), expected) << arguments.join(' ').toStdString();
}

TEST(VorbelSseTool, FollowsAUrlAndShowsEachEventAsItComes)
{
    HttpTestServer server;
    server.enqueue(ScriptedResponse::sse({"data: {\"a\":1}\n\n"}));
    const QList<QByteArray> lines =
        run({"--once", "-X", "POST", "-d", "{}", "-H", "Authorization: Bearer k", server.baseUrl().toString() + "/s"});
    EXPECT_EQ(lines, QList<QByteArray>({R"({"open":true})", R"({"event":"message","data":"{\"a\":1}","id":""})",
                                        R"({"closed":true})"}));
    ASSERT_GE(server.requestCount(), 1);
    const RecordedRequest request = server.requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.body, "{}");
    EXPECT_EQ(request.header("Authorization"), "Bearer k");
    EXPECT_EQ(run({"--once", HttpTestServer::refusedUrl().toString()}).size(), 1);

    // A live stream: the event is printed while the server still holds the stream open.
    ScriptedResponse live = ScriptedResponse::sse({"data: live\n\n"});
    live.pieces.append({60000, "data: never\n\n"});
    server.enqueue(live);
    QProcess tool;
    tool.start(QStringLiteral(VORBEL_SSE_TOOL), {server.baseUrl().toString()});
    QByteArray output;
    EXPECT_TRUE(QTest::qWaitFor([&] { return (output += tool.readAllStandardOutput()).contains(R"("data":"live")"); }))
        << output.constData();
    tool.kill();
    tool.waitForFinished();
}
