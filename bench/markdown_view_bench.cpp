// UI-thread time per streamed piece of a MarkdownMessage: a 20 KB reply with code
// blocks and tables arrives in 40-byte pieces; each piece is set as the view's
// text and the window is polished and drawn (software renderer, offscreen).
// Medians at the start and at the end of the reply, against the baseline of
// building the whole view afresh from the same text for each piece.
// Then hostile replies shown whole in a bubble's PlainMessageText (a 100-column
// table, a 300 KiB line, a 1 MiB message, a 20,000-cell table): the time until
// everything is parsed, made and drawn, and the RSS with it on screen.
//   markdown_view_bench [bytes=20000] [piece=40] [samples=40]
#include "BenchMeasures.h"
#include "ui/markdown/GradualListModel.h"
#include "ui/markdown/MarkdownBlockModel.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSet>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

Q_IMPORT_QML_PLUGIN(Vorbel_Ui_CommonPlugin)
Q_IMPORT_QML_PLUGIN(Vorbel_Ui_MarkdownPlugin)
Q_IMPORT_QML_PLUGIN(Vorbel_Ui_ConversationPlugin)

namespace {

std::string section(int number)
{
    const std::string n = std::to_string(number);
    return "## Step " + n
         + ": building\n\n"
           "Install the **dependencies** first; `cmake` finds them through `pkg-config`. See "
           "[the guide](https://example.com/guide/"
         + n
         + ") for details.\n\n"
           "```cpp\n#include <iostream>\n\nint main()\n{\n    for (int i = 0; i < "
         + n
         + "; ++i)\n"
           "        std::cout << \"step \" << i << '\\n'; // progress\n    return 0;\n}\n```\n\n"
           "| Option | Default | Meaning |\n|:-------|:-------:|--------:|\n"
           "| `jobs` | 2 | parallel compile jobs |\n| `sanitize` | off | address and UB checks |\n\n"
           "- Configure\n  - Debug build\n- [x] Run the tests\n\n> Keep the build folder outside the tree.\n\n";
}

const char* const scene = R"(
import QtQuick
import Vorbel.Ui.Markdown
Item {
    width: 720
    height: 900
    property alias text: view.text
    MarkdownMessage {
        id: view
        x: 20
        width: 600
        y: Math.min(0, parent.height - implicitHeight) // follows the end, as the list does
    }
}
)";

const char* const messageScene = R"(
import QtQuick
import Vorbel.Ui.Conversation
Item {
    width: 720
    height: 900
    property alias text: message.markdown
    PlainMessageText {
        id: message
        x: 20
        maxWidth: 600
    }
}
)";

// A table of `columns` by `rows` data rows.
std::string table(int columns, int rows)
{
    std::string text;
    for (int row = 0; row <= rows; ++row) {
        for (int column = 1; column <= columns; ++column)
            text += "| r" + std::to_string(row) + "c" + std::to_string(column) + " ";
        text += "|\n";
        if (row == 0) {
            for (int column = 0; column < columns; ++column)
                text += "|---";
            text += "|\n";
        }
    }
    return text;
}

// Whether the view under `root` has nothing left to do: no parse running off
// the UI thread, every table cell and chunk of long text made. Delegates are
// not always QObject children, so both trees are walked.
bool settled(QObject* root)
{
    bool done = true;
    QSet<QObject*> seen;
    const std::function<void(QObject*)> walk = [&](QObject* object) {
        if (!done || seen.contains(object))
            return;
        seen.insert(object);
        if (auto* blocks = qobject_cast<MarkdownBlockModel*>(object))
            done = !blocks->isParsing();
        if (auto* gradual = qobject_cast<GradualListModel*>(object))
            done = done && gradual->isComplete();
        for (QObject* child : object->children())
            walk(child);
        if (auto* item = qobject_cast<QQuickItem*>(object)) {
            for (QQuickItem* child : item->childItems())
                walk(child);
        }
    };
    walk(root);
    return done;
}

void measureHostileReplies(QQmlEngine& engine, QQuickWindow& window)
{
    QQmlComponent component(&engine);
    component.setData(messageScene, QUrl());
    std::string line(300 * 1024, 'w');
    std::string message;
    for (int n = 0; message.size() < 1024 * 1024; ++n)
        message += "Line " + std::to_string(n)
                 + " of a long answer with **bold**, `code` and a [link](https://example.com).\n";
    const std::vector<std::pair<const char*, std::string>> replies{
        {"100-column table", table(100, 3)},
        {"300 KiB single line", line},
        {"1 MiB message", message},
        {"20,000-cell table", table(20, 1000)},
    };
    std::printf("hostile replies in a 600-wide PlainMessageText, shown whole (RSS before: %ld KiB):\n", residentKiB());
    for (const auto& [name, text] : replies) {
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<QQuickItem> item(qobject_cast<QQuickItem*>(
            component.createWithInitialProperties({{QStringLiteral("text"), QString::fromStdString(text)}})));
        if (!item) {
            std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
            std::exit(1);
        }
        item->setParentItem(window.contentItem());
        // The UI thread's longest stretch without a turn of the event loop: the
        // creation above, one round of events, or the frame at the end.
        double longestTurn = timer.nsecsElapsed() / 1e6;
        const auto timed = [&longestTurn](auto&& step) {
            QElapsedTimer turn;
            turn.start();
            step();
            longestTurn = std::max(longestTurn, turn.nsecsElapsed() / 1e6);
        };
        // Walking tens of thousands of items takes time of its own: look every 20 ms.
        QElapsedTimer sinceCheck;
        sinceCheck.start();
        while (sinceCheck.elapsed() < 20 || !settled(item.get())) {
            if (sinceCheck.elapsed() >= 20)
                sinceCheck.restart();
            timed([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
        }
        timed([&window] { (void)window.grabWindow(); });
        std::printf("  %-20s %8zu bytes: shown in %8.1f ms (longest UI-thread stretch %.1f ms), RSS %ld KiB\n", name,
                    text.size(), timer.nsecsElapsed() / 1e6, longestTurn, residentKiB());
        item.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    QGuiApplication app(argc, argv);
    QQuickStyle::setStyle(QStringLiteral("Fusion"));
    const std::size_t bytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20000;
    const std::size_t piece = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 40;
    const std::size_t samples = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 40;

    std::string reply = "Here is the plan.\n\n";
    for (int number = 1; reply.size() < bytes; ++number)
        reply += section(number);
    reply.resize(bytes);
    std::vector<std::string> prefixes;
    for (std::size_t end = piece; end < reply.size() + piece; end += piece)
        prefixes.push_back(reply.substr(0, std::min(end, reply.size())));

    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QQmlComponent component(&engine);
    component.setData(scene, QUrl());
    if (component.isError()) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return 1;
    }
    QQuickWindow window;
    window.resize(720, 900);
    window.show();
    const auto load = [&](const std::string& text) {
        auto* item = qobject_cast<QQuickItem*>(
            component.createWithInitialProperties({{QStringLiteral("text"), QString::fromStdString(text)}}));
        if (!item) {
            std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
            std::exit(1);
        }
        item->setParentItem(window.contentItem());
        return std::unique_ptr<QQuickItem>(item);
    };
    std::vector<double> settingOnly; // of each streamed piece: the text set, before polish and drawing
    const auto timed = [&](auto&& step) {
        QElapsedTimer timer;
        timer.start();
        step();
        settingOnly.push_back(timer.nsecsElapsed() / 1e6);
        (void)window.grabWindow(); // polish, sync and draw the whole frame
        return timer.nsecsElapsed() / 1e6;
    };

    // Streamed: one view, its text growing piece by piece.
    std::unique_ptr<QQuickItem> streamed = load({});
    std::vector<double> perPiece;
    for (const std::string& prefix : prefixes)
        perPiece.push_back(timed([&] { streamed->setProperty("text", QString::fromStdString(prefix)); }));
    streamed.reset();
    const std::vector<double> setting = settingOnly;

    // Baseline: the whole view built afresh from the text, for the last pieces.
    std::vector<double> whole;
    for (std::size_t index = prefixes.size() - std::min(samples, prefixes.size()); index < prefixes.size(); ++index) {
        std::unique_ptr<QQuickItem> fresh;
        whole.push_back(timed([&] { fresh = load(prefixes[index]); }));
        fresh.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    const std::size_t count = std::min(samples, perPiece.size() / 2);
    // The first piece loads the module and the fonts; start after it.
    const std::vector<double> start(perPiece.begin() + 1, perPiece.begin() + 1 + static_cast<std::ptrdiff_t>(count));
    const std::vector<double> end(perPiece.end() - static_cast<std::ptrdiff_t>(count), perPiece.end());
    std::printf("reply %zu bytes in %zu pieces of %zu bytes, software renderer, window 720x900\n", reply.size(),
                prefixes.size(), piece);
    std::printf("streamed, median ms per piece: start %.3f, end %.3f (end/start %.2fx)\n", median(start), median(end),
                median(end) / median(start));
    std::printf("  of which setting the text (parse, rows, bindings): start %.3f, end %.3f\n",
                median({setting.begin() + 1, setting.begin() + 1 + static_cast<std::ptrdiff_t>(count)}),
                median({setting.begin() + static_cast<std::ptrdiff_t>(setting.size() - count), setting.end()}));
    std::printf("whole view rebuilt per piece at the end, median ms: %.3f (%.1fx the streamed end)\n", median(whole),
                median(whole) / median(end));
    measureHostileReplies(engine, window);
    return 0;
}
