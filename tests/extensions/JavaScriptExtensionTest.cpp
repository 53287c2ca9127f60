#include "ExtensionTestSupport.h"

#include "extensions/FunctionCallRunner.h"
#include "extensions/JavaScriptExtension.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <future>

namespace {

QString run(const QString& script, std::chrono::milliseconds limit = javaScriptTimeLimit)
{
    QJsonObject arguments{{"script", script}};
    return executeJavaScript(QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Compact)), limit);
}

} // namespace

TEST(JavaScriptExtension, CompletionValuesComeBackAsJsonText)
{
    EXPECT_EQ(run("1+1"), "2");
    EXPECT_EQ(run("'hi'"), "\"hi\"");
    EXPECT_EQ(run("({a: 1, b: [1, 2], c: 'x'})"), R"({"a":1,"b":[1,2],"c":"x"})");
    EXPECT_EQ(run("null"), "null");
    EXPECT_EQ(run("var x; x = 5"), "5"); // an assignment is an expression statement
    // Declarations, undefined and functions have no JSON form.
    EXPECT_EQ(run("var x = 5"), "Unable to run script");
    EXPECT_EQ(run("undefined"), "Unable to run script");
    EXPECT_EQ(run("(function () {})"), "Unable to run script");
}

TEST(JavaScriptExtension, ExceptionsAreAnsweredWithTheirText)
{
    EXPECT_TRUE(run("foo()").startsWith("ReferenceError"));
    EXPECT_EQ(run("throw new TypeError('bad')"), "TypeError: bad");
    EXPECT_EQ(run("throw 5"), "5"); // thrown, not returned: still the exception's text
    EXPECT_TRUE(run("1 +").startsWith("SyntaxError"));
    // The serialiser's own exception counts too.
    EXPECT_TRUE(run("var a = {}; a.self = a; a").startsWith("TypeError"));
    // A completion value that merely is an error object is serialised, not reported.
    EXPECT_EQ(run("new Error('quiet')"), "{}");
}

TEST(JavaScriptExtension, ArgumentsAreDecodedAfterLineFeedsAreDeleted)
{
    EXPECT_EQ(executeJavaScript(std::nullopt), "Unable to run script");
    EXPECT_EQ(executeJavaScript(QString("not json")), "Unable to run script");
    EXPECT_EQ(executeJavaScript(QString(R"({"script": 5})")), "Unable to run script");
    // No script key: the empty script, whose value is undefined.
    EXPECT_EQ(executeJavaScript(QString("{}")), "Unable to run script");
    // Raw line feeds inside the JSON string are deleted, joining the lines.
    EXPECT_EQ(executeJavaScript(QString("{\n  \"script\": \"1 +\n2\"\n}")), "3");
    EXPECT_TRUE(executeJavaScript(QString("{\"script\": \"var a = 1\nvar b = 2\nb\"}")).startsWith("SyntaxError"));
}

TEST(JavaScriptExtension, CallsShareNothingAndHaveNoOutsideAccess)
{
    EXPECT_EQ(run("var leaked = 41; this.other = 1; leaked + 1"), "42");
    EXPECT_EQ(run("typeof leaked + typeof other"), "\"undefinedundefined\"");
    EXPECT_EQ(run("[typeof setTimeout, typeof XMLHttpRequest, typeof require, typeof console].join()"),
              "\"undefined,undefined,undefined,undefined\"");
}

TEST(JavaScriptExtension, RunawayRecursionOnAPoolThreadIsAnException)
{
    std::promise<QString> result;
    extensionThreadPool().start([&result] { result.set_value(run("function f(n) { return f(n + 1) + 1; } f(0)")); });
    EXPECT_TRUE(result.get_future().get().startsWith("RangeError"));
}

TEST(JavaScriptExtension, TwoCallsRunAtOnceOnTwoThreads)
{
    const QString script = "var s = 0; for (var i = 0; i < 200000; i++) { s += i % %1; } s";
    auto first = std::async(std::launch::async, [&] { return run(script.arg(7)); });
    auto second = std::async(std::launch::async, [&] { return run(script.arg(3)); });
    EXPECT_EQ(first.get(), "599994");
    EXPECT_EQ(second.get(), "199999");
}

TEST(JavaScriptExtension, EndlessScriptsAreInterrupted)
{
    const QString result = run("while (true) {}", std::chrono::milliseconds(200));
    EXPECT_TRUE(result.contains("Interrupted")) << result.toStdString();
    // A serialiser that never returns is interrupted as well.
    EXPECT_NE(run("({ toJSON() { for (;;) {} } })", std::chrono::milliseconds(200)), "Unable to run script");
    // A quick script under a short limit is untouched.
    EXPECT_EQ(run("6 * 7", std::chrono::milliseconds(5000)), "42");
}
