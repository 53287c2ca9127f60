#include "ExtensionTestSupport.h"

#include "extensions/FunctionCallRunner.h"
#include "extensions/FunctionStop.h"
#include "extensions/JavaScriptExtension.h"

#include <QThreadPool>

#include <future>

namespace {

QString run(const QString& script, std::chrono::milliseconds limit = javaScriptTimeLimit,
            std::size_t memoryCeiling = javaScriptMemoryCeiling)
{
    return executeJavaScript(argumentsWith("script", script), limit, memoryCeiling);
}

} // namespace

TEST(JavaScriptExtension, CompletionValuesAndExceptionsComeBackAsText)
{
    const QList<QPair<QString, QString>> exact{
        {"1+1", "2"},
        {"'hi'", "\"hi\""},
        {"({a: 1, b: [1, 2], c: 'x'})", R"({"a":1,"b":[1,2],"c":"x"})"},
        {"var x; x = 5", "5"}, // an assignment is an expression statement
        // Declarations, undefined and functions have no JSON form.
        {"var x = 5", "Unable to run script"},
        {"undefined", "Unable to run script"},
        {"(function () {})", "Unable to run script"},
        {"throw new TypeError('bad')", "TypeError: bad"},
        {"throw 5", "5"}, // thrown, not returned: still the exception's text
        // A completion value that merely is an error object is serialised, not reported.
        {"new Error('quiet')", "{}"},
        // Calls share nothing and have no outside access.
        {"var leaked = 41; this.other = 1; leaked + 1", "42"},
        {"typeof leaked + typeof other", "\"undefinedundefined\""},
        {"[typeof setTimeout, typeof XMLHttpRequest, typeof require, typeof console].join()",
         "\"undefined,undefined,undefined,undefined\""},
    };
    for (const auto& [script, expected] : exact)
        EXPECT_EQ(run(script), expected) << script.toStdString();
    const QList<QPair<QString, QString>> prefixed{{"foo()", "ReferenceError"},
                                                  {"1 +", "SyntaxError"},
                                                  {"var a = {}; a.self = a; a", "TypeError"}}; // the serialiser's
    for (const auto& [script, prefix] : prefixed)
        EXPECT_TRUE(run(script).startsWith(prefix)) << script.toStdString();

    // A result past 1 MiB is cut and the rest counted, as shell output is.
    const QString huge = run("'x'.repeat(1100000)");
    EXPECT_EQ(huge.size(), javaScriptResultLimit + QString("\n[51426 characters left out]").size());
    EXPECT_TRUE(huge.endsWith("xx\n[51426 characters left out]"));

    for (const char* arguments : {"not json", R"({"script": 5})", "{}"}) // no script: undefined
        EXPECT_EQ(executeJavaScript(QString(arguments)), "Unable to run script");
    EXPECT_EQ(executeJavaScript(std::nullopt), "Unable to run script");
    // Raw line feeds inside the JSON string are deleted, joining the lines.
    EXPECT_EQ(executeJavaScript(QString("{\n  \"script\": \"1 +\n2\"\n}")), "3");
    EXPECT_TRUE(executeJavaScript(QString("{\"script\": \"var a = 1\nvar b = 2\nb\"}")).startsWith("SyntaxError"));
}

TEST(JavaScriptExtension, RunawayScriptsAreStoppedWithoutTakingTheProcessDown)
{
    // Deep recursion on a pool thread (a small stack) is an exception.
    std::promise<QString> recursion;
    extensionThreadPool().start([&] { recursion.set_value(run("function f(n) { return f(n + 1) + 1; } f(0)")); });
    EXPECT_TRUE(recursion.get_future().get().startsWith("RangeError"));

    using std::chrono::milliseconds;
    EXPECT_TRUE(run("while (true) {}", milliseconds(200)).contains("Interrupted"));
    // The user's stop interrupts it long before its time limit, asked before or during the run.
    auto stop = std::make_shared<FunctionStop>();
    auto stopped = std::async(std::launch::async, [stop] {
        const FunctionStop::Scope scope(stop);
        return run("for (;;) {}", std::chrono::hours(1));
    });
    stop->request();
    EXPECT_TRUE(stopped.get().contains("Interrupted"));
    // A serialiser that never returns is interrupted as well.
    EXPECT_NE(run("({ toJSON() { for (;;) {} } })", milliseconds(200)), "Unable to run script");

    // Endless allocation hits the memory ceiling long before the time limit.
    const std::size_t ceiling = 32 * 1024 * 1024;
    EXPECT_EQ(run("var a = []; while (true) a.push(new Array(1e6).join('x'))", milliseconds(60000), ceiling),
              "Unable to run script");
    EXPECT_EQ(run("var a = []; for (;;) a.push({n: a.length})", milliseconds(60000), ceiling), "Unable to run script");
    EXPECT_EQ(run("new Array(1000).fill(7).reduce((a, b) => a + b)", milliseconds(5000), ceiling), "7000"); // untouched
}
