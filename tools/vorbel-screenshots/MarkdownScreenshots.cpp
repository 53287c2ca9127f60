#include "MarkdownScreenshots.h"

#include <QCoreApplication>
#include <QImage>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTest>

#include <cstdio>
#include <memory>
#include <utility>

namespace {

const char* const reply = R"(## Building the project

Install the **dependencies** first, then configure with `cmake`. See [the guide](https://example.com/guide) for details.

```cpp
#include <iostream>

int main() // prints a greeting
{
    std::cout << "Hello, Vorbel! This line is long enough to scroll sideways in a narrow bubble" << '\n';
    return 0;
}
```

| Option | Default | Meaning |
|:-------|:-------:|--------:|
| `jobs` | 2 | parallel compile jobs |
| `sanitize` | off | address and UB checks |

1. Configure the build
   - Debug for development
   - Release for benchmarks
2. Run the tests

- [x] Parser
- [ ] Views

> **Tip:** keep the build folder outside the source tree.
)";

const char* const scene = R"(
import QtQuick
import Vorbel.Ui.Common
import Vorbel.Ui.Markdown

Window {
    id: window
    width: 720
    height: column.height + 48
    color: Theme.background
    property string reply
    property string own: "Can you show it in **Python** too?\n\n```python\nprint('hi')  # greet\n```"

    Column {
        id: column
        x: 24
        y: 24
        width: 615
        spacing: 16

        Rectangle {
            anchors.right: parent.right
            width: Math.min(ownText.implicitWidth + 20, column.width * 0.75)
            height: ownText.implicitHeight + 20
            radius: 16
            color: Theme.ownMessage
            MarkdownMessage {
                id: ownText
                x: 10
                y: 10
                width: parent.width - 20
                text: window.own
                textColor: "white"
            }
        }

        Rectangle {
            width: column.width * 0.9
            height: replyText.implicitHeight + 20
            radius: 16
            color: Theme.assistantMessage
            MarkdownMessage {
                id: replyText
                x: 10
                y: 10
                width: parent.width - 20
                text: window.reply
                textColor: Theme.text
            }
        }
    }
}
)";

} // namespace

bool writeMarkdownScreenshots(const QString& outDir, const QString& suffix)
{
    if (QQuickStyle::name().isEmpty())
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QQmlComponent component(&engine);
    component.setData(scene, QUrl());
    // A picture from the web waits for the user's press.
    const char* const imageReply = "Here is the chart you asked for:\n\n"
                                   "![Build times by configuration](https://example.com/build-times.png)";
    bool ok = true;
    for (const auto& [name, text] : {std::pair("markdown-reply", reply), std::pair("markdown-image", imageReply)}) {
        std::unique_ptr<QObject> object(
            component.createWithInitialProperties({{QStringLiteral("reply"), QString::fromUtf8(text)}}));
        auto* window = qobject_cast<QQuickWindow*>(object.get());
        if (!window) {
            std::fprintf(stderr, "markdown scene: %s\n", qPrintable(component.errorString()));
            return false;
        }
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            return false;
        QTest::qWait(300); // let the rows settle their sizes
        const QString path = outDir + QLatin1Char('/') + QLatin1String(name) + suffix;
        const QImage image = window->grabWindow();
        object.reset();
        // The scene graph hands its textures back through deferred deletes.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (image.isNull() || !image.save(path)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(path));
            ok = false;
            continue;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return ok;
}
