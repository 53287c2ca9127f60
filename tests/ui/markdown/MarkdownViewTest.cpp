// MarkdownMessage as the bubble uses it, offscreen: copy buttons, links,
// delegates that survive a streamed piece, and web images.
#include "support/HttpTestServer.h"
#include "ui/markdown/RemoteImage.h"

#include <QAccessible>
#include <QBuffer>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

Q_IMPORT_QML_PLUGIN(Vorbel_Ui_CommonPlugin)
Q_IMPORT_QML_PLUGIN(Vorbel_Ui_MarkdownPlugin)

namespace {

QByteArray png(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes); // opened by the writer
    image.save(&buffer, "PNG");
    return bytes;
}

// Records the addresses the desktop would have opened.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }
};

class MarkdownViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        QQmlComponent component(&m_engine);
        component.setData("import QtQuick\nimport Vorbel.Ui.Markdown\nMarkdownMessage { width: 460 }", QUrl());
        m_view = qobject_cast<QQuickItem*>(component.create());
        ASSERT_TRUE(m_view) << component.errorString().toStdString();
        m_window.resize(500, 700);
        m_view->setParentItem(m_window.contentItem());
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    }
    void TearDown() override { delete m_view; }

    void setText(const QString& text)
    {
        m_view->setProperty("text", text);
        m_window.grabWindow(); // polishes: the rows take their places
    }

    QList<QQuickItem*> items(const QString& name, bool visibleOnly = true, QQuickItem* under = nullptr) const
    {
        QList<QQuickItem*> found;
        for (QQuickItem* child : (under ? under : m_view)->childItems()) {
            if (child->objectName() == name && (child->isVisible() || !visibleOnly))
                found << child;
            found += items(name, visibleOnly, child);
        }
        return found;
    }

    void click(QQuickItem* target, std::optional<QPointF> at = {})
    {
        ASSERT_TRUE(target);
        const QPointF point = target->mapToScene(at.value_or(target->boundingRect().center()));
        QTest::mouseClick(&m_window, Qt::LeftButton, {}, point.toPoint());
    }

    QQmlEngine m_engine;
    QQuickWindow m_window;
    QQuickItem* m_view = nullptr;
};

TEST_F(MarkdownViewTest, copyButtonsPutTheExactCodeAndTheTableAsPlainText)
{
    setText(QStringLiteral("Here:\n\n```python\nprint(1)\n\n\n```\n\n"
                           "| Name | `code` | Size |\n|:--|:-:|--:|\n| *a* | `x \\| y` | 10 |\n| b | | 2 |\n"));
    const QList<QQuickItem*> code = items("copyCodeButton");
    const QList<QQuickItem*> table = items("copyTableButton");
    ASSERT_EQ(code.size(), 1);
    ASSERT_EQ(table.size(), 1);

    QAccessible::setActive(true);
    for (auto [button, name] : {std::pair(code[0], "Copy code"), std::pair(table[0], "Copy table")}) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        EXPECT_EQ(accessible ? accessible->text(QAccessible::Name) : QString(), name);
    }
    QAccessible::setActive(false);

    QGuiApplication::clipboard()->setText(QStringLiteral("stale"));
    click(code[0]);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("print(1)\n\n\n"));
    click(table[0]);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              "| Name | code | Size |\n| :-- | :-: | --: |\n| a | x \\| y | 10 |\n| b |  | 2 |");
    EXPECT_TRUE(table[0]->property("copied").toBool());
}

TEST_F(MarkdownViewTest, onlyWebAndMailLinksOpenAndTheirAddressShowsOnHoverAndTabReachesThem)
{
    UrlRecorder recorder;
    for (const char* scheme : {"file", "javascript", "https", "http", "mailto", "data"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &recorder, "open");
    const std::vector<std::pair<QString, bool>> cases{{"file:///etc/passwd", false},
                                                      {"javascript:alert(1)", false},
                                                      {"data:text/html,hi", false},
                                                      {"https://example.com/a?b=1", true},
                                                      {"mailto:someone@example.com", true}};
    for (const auto& [address, opens] : cases) {
        recorder.opened.clear();
        setText(QStringLiteral("[Linked words here](%1) and then plain text.\n\n```\ncode\n```").arg(address));
        const QList<QQuickItem*> texts = items("markdownText");
        ASSERT_FALSE(texts.isEmpty());
        QQuickItem* paragraph = texts.front();
        const QPointF onLink(20, paragraph->height() / 2);
        QTest::mouseMove(&m_window, QPoint(m_window.width() - 2, m_window.height() - 2)); // off the last link
        QTest::mouseMove(&m_window, paragraph->mapToScene(onLink).toPoint());
        EXPECT_TRUE(QTest::qWaitFor(
            [&, link = address] { return paragraph->property("hoveredLink").toString() == link; }, 2000))
            << address.toStdString() << " hovered: " << paragraph->property("hoveredLink").toString().toStdString();
        EXPECT_EQ(m_window.cursor().shape(), Qt::PointingHandCursor);
        click(paragraph, onLink);
        EXPECT_EQ(recorder.opened, opens ? QList<QUrl>{QUrl(address)} : QList<QUrl>{}) << address.toStdString();
    }
    // The keyboard: Tab selects each link in turn (one link though its format changes), Return opens it.
    recorder.opened.clear();
    setText(QStringLiteral("[one](https://a.example/) then [t**wo**](https://b.example/)"));
    m_window.requestActivate();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
    QQuickItem* paragraph = items("markdownText").front();
    paragraph->forceActiveFocus();
    QTest::keyClick(&m_window, Qt::Key_Tab);
    EXPECT_EQ(paragraph->property("selectedText").toString(), "one");
    QTest::keyClick(&m_window, Qt::Key_Tab);
    EXPECT_EQ(paragraph->property("selectedText").toString(), "two");
    QTest::keyClick(&m_window, Qt::Key_Return);
    EXPECT_EQ(recorder.opened, QList<QUrl>{QUrl("https://b.example/")});
    for (const char* scheme : {"file", "javascript", "https", "http", "mailto", "data"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

TEST_F(MarkdownViewTest, aStreamedPieceKeepsTheDelegatesOfEarlierRows)
{
    QString text = QStringLiteral("# Plan\n\n| a | b |\n|---|---|\n| 1 | 2 |\n\n- one\n- two\n\n```cpp\nint a;\n");
    setText(text);
    const QList<QQuickItem*> before = items("markdownRow");
    ASSERT_EQ(before.size(), 5);
    text += QStringLiteral("int b;\n```\n\nAfter");
    setText(text);
    const QList<QQuickItem*> after = items("markdownRow");
    ASSERT_EQ(after.size(), 6);
    for (int row = 0; row < before.size(); ++row)
        EXPECT_EQ(after[row], before[row]) << "row " << row;
    // The rows stack without overlapping, and the view is as tall as they are.
    for (int row = 1; row < after.size(); ++row)
        EXPECT_GE(after[row]->y(), after[row - 1]->y() + after[row - 1]->height() - 0.5) << "row " << row;
    EXPECT_NEAR(m_view->implicitHeight(), after.last()->y() + after.last()->height(), 0.5);
}

// Rows placed one under the other, each knowing its place, the view as tall as they are.
void expectStacked(const QList<QQuickItem*>& rows, const QQuickItem* view)
{
    ASSERT_FALSE(rows.isEmpty());
    for (qsizetype row = 0; row < rows.size(); ++row) {
        EXPECT_EQ(rows[row]->property("index").toInt(), row);
        if (row > 0) {
            EXPECT_NEAR(rows[row]->y(), rows[row - 1]->y() + rows[row - 1]->height(), 0.5) << "row " << row;
        }
    }
    EXPECT_NEAR(view->implicitHeight(), rows.last()->y() + rows.last()->height(), 0.5);
}

// A streamed block may turn out another kind once more of it comes: its row
// then shows the new kind's body alone, decorated only while it is a list item.
TEST_F(MarkdownViewTest, aRowThatBecomesAnotherKindShowsOnlyItsNewBody)
{
    const auto shows = [this](const QString& name, const QString& words) {
        const QList<QQuickItem*> found = items(name);
        return std::count_if(found.begin(), found.end(),
                             [&](const QQuickItem* item) { return item->property("text").toString().contains(words); });
    };
    setText(QStringLiteral("Intro\n\n| a | b |"));
    EXPECT_EQ(shows("markdownText", "| a | b |"), 1);
    EXPECT_TRUE(items("copyTableButton").isEmpty());
    setText(QStringLiteral("Intro\n\n| a | b |\n|---|---|\n| 1 | 2 |"));
    EXPECT_EQ(shows("markdownText", "| a | b |"), 0);
    EXPECT_EQ(items("copyTableButton").size(), 1);
    expectStacked(items("markdownRow"), m_view);

    setText(QStringLiteral("Intro\n\n- [x] done"));
    EXPECT_EQ(items("taskMark").size(), 1);
    EXPECT_TRUE(items("copyTableButton").isEmpty());
    setText(QStringLiteral("Intro\n\nDone"));
    EXPECT_TRUE(items("taskMark").isEmpty());
    EXPECT_EQ(shows("markdownText", "Done"), 1);
}

TEST_F(MarkdownViewTest, rowsStackFromTheStartAndAgainBelowARowThatChanges)
{
    // As tall as its rows before it is first laid out: a list places its items at that height.
    QQmlComponent component(&m_engine);
    component.setData("import QtQuick\nimport Vorbel.Ui.Markdown\n"
                      "MarkdownMessage { width: 460; text: \"# One\\n\\nTwo\\n\\n- three\" }",
                      QUrl());
    std::unique_ptr<QQuickItem> fresh(qobject_cast<QQuickItem*>(component.create()));
    ASSERT_TRUE(fresh) << component.errorString().toStdString();
    EXPECT_EQ(items("markdownRow", false, fresh.get()).size(), 3);
    EXPECT_GT(fresh->implicitHeight(), 0);
    expectStacked(items("markdownRow", false, fresh.get()), fresh.get());

    const struct {
        const char* name;
        QString before, after;
    } edits[] = {
        {"a row grows in the middle", "# A\n\nB\n\n# C", "# A\n\n" + QStringLiteral("B ").repeated(150) + "\n\n# C"},
        {"a row comes in the middle", "# A\n\nB\n\n# C", "# A\n\nB\n\n> X\n\n# C"},
        {"a row goes from the middle", "# A\n\nB\n\n> X\n\n# C", "# A\n\nB\n\n# C"},
    };
    for (const auto& edit : edits) {
        SCOPED_TRACE(edit.name);
        setText(edit.before);
        const double before = m_view->implicitHeight();
        setText(edit.after);
        EXPECT_GT(std::abs(m_view->implicitHeight() - before), 1);
        expectStacked(items("markdownRow"), m_view);
    }
}

// In a list, only the rows near the viewport are made; scrolled, the others come and go.
TEST_F(MarkdownViewTest, rowsOutOfTheViewportAreNotMade)
{
    QQmlComponent component(&m_engine);
    component.setData("import QtQuick\nimport Vorbel.Ui.Markdown\n"
                      "Flickable { id: list; width: 460; height: 200; contentHeight: view.height\n"
                      "  property alias view: view\n"
                      "  MarkdownMessage { id: view; width: 460; viewport: list } }",
                      QUrl());
    std::unique_ptr<QQuickItem> list(qobject_cast<QQuickItem*>(component.create()));
    ASSERT_TRUE(list) << component.errorString().toStdString();
    list->setParentItem(m_window.contentItem());
    auto* view = list->property("view").value<QQuickItem*>();
    QString text;
    for (int paragraph = 0; paragraph < 300; ++paragraph)
        text += QStringLiteral("Paragraph %1 with *inline* marks.\n\n").arg(paragraph);
    for (const bool plain : {true, false}) {
        SCOPED_TRACE(plain ? "plain" : "Markdown");
        view->setProperty("plain", plain);
        view->setProperty("text", text);
        list->setProperty("contentY", 0);
        m_window.grabWindow();
        // How many texts are made, and whether one of them shows `words`.
        const auto made = [&](const QString& words) {
            const QList<QQuickItem*> texts = items(plain ? "plainText" : "markdownText", true, view);
            const bool shown = std::any_of(texts.begin(), texts.end(), [&](QQuickItem* text) {
                return text->property("text").toString().contains(words);
            });
            return std::pair{texts.size(), shown};
        };
        ASSERT_EQ(items(plain ? "plainRow" : "markdownRow", false, view).size(), 300);
        EXPECT_EQ(made("Paragraph 0 ").second, true);
        EXPECT_LT(made("").first, 60);
        // Rows made on the way take their real heights, so the end moves until they are all made.
        for (int settle = 0; settle < 4; ++settle) {
            list->setProperty("contentY", view->height() - list->height());
            m_window.grabWindow();
        }
        EXPECT_LT(made("").first, 60);
        EXPECT_EQ(made("Paragraph 0 ").second, false);
        EXPECT_EQ(made("Paragraph 299 ").second, true);
        // Rows that took their real heights on the way moved every row below them.
        expectStacked(items(plain ? "plainRow" : "markdownRow", false, view), view);
    }
}

TEST_F(MarkdownViewTest, webImagesLoadOnlyWhenAskedWithoutCookiesAndWithinTheirCaps)
{
    using Status = RemoteImage::Status;
    struct Case {
        QByteArray path, body;
        bool lengthKnown;
        Status status;
        int width;
        QString note;
    };
    const QByteArray tooLarge(RemoteImage::maxBytes + 1, 'x');
    const std::vector<Case> cases{
        {"/small.png", png(40, 30), true, Status::Ready, 40, {}},
        {"/wide.png", png(1000, 20), true, Status::Ready, 460, {}}, // decoded at the view's width
        {"/huge.pgm", "P5\n5000 4000\n255\n", true, Status::Refused, 0, "larger than 16 megapixels"},
        {"/heavy.png", tooLarge, true, Status::Refused, 0, "larger than 10 MiB"},
        {"/heavy-unannounced.png", tooLarge, false, Status::Refused, 0, "larger than 10 MiB"},
        {"/junk.png", "not an image", true, Status::Failed, 0, "could not be read"},
    };
    HttpTestServer server;
    server.setHandler([&cases](const RecordedRequest& request) {
        for (const Case& c : cases) {
            if (request.path == c.path) {
                ScriptedResponse response = ScriptedResponse::text(200, c.body, "image/png");
                response.chunked = !c.lengthKnown;
                response.headers.append(qMakePair(QByteArray("Set-Cookie"), QByteArray("session=secret; Path=/")));
                return response;
            }
        }
        return ScriptedResponse::text(204, {});
    });
    const auto address = [&](const QByteArray& path) {
        return server.baseUrl().toString() + QString::fromLatin1(path);
    };
    QString text;
    for (const Case& c : cases)
        text += QStringLiteral("![Chart %1](%2)\n\n").arg(QString::fromLatin1(c.path), address(c.path));
    setText(text);

    // Anything fetched on showing would be in before a request made after it.
    QNetworkAccessManager probe;
    std::unique_ptr<QNetworkReply> probed(probe.get(QNetworkRequest(QUrl(address("/probe")))));
    ASSERT_TRUE(QTest::qWaitFor([&] { return probed->isFinished(); }, 5000));
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_EQ(server.requests().at(0).path, "/probe");

    const QList<QQuickItem*> images = items("markdownImage", false);
    ASSERT_EQ(images.size(), int(cases.size()));
    QAccessible::setActive(true);
    for (std::size_t index = 0; index < cases.size(); ++index) {
        const Case& c = cases[index];
        SCOPED_TRACE(c.path.toStdString());
        auto* image = qobject_cast<RemoteImage*>(images[int(index)]);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->status(), Status::NotLoaded);
        QQuickItem* button = nullptr;
        for (QQuickItem* candidate : items("loadImageButton")) {
            if (candidate->parentItem()->parentItem()->parentItem() == image->parentItem())
                button = candidate;
        }
        ASSERT_TRUE(button);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name), "Load image");
        click(button);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return image->status() != Status::NotLoaded && image->status() != Status::Loading; }, 10000));
        EXPECT_EQ(image->status(), c.status);
        EXPECT_TRUE(image->note().contains(c.note)) << image->note().toStdString();
        m_window.grabWindow();
        EXPECT_EQ(image->isVisible(), c.status == Status::Ready);
        EXPECT_EQ(image->width(), c.width);
    }
    QAccessible::setActive(false);

    // Loaded once, an image loads by itself when its row is made again.
    setText(QStringLiteral("Nothing"));
    setText(QStringLiteral("![Chart](%1)").arg(address(cases[0].path)));
    const QList<QQuickItem*> again = items("markdownImage", false);
    ASSERT_EQ(again.size(), 1);
    auto* image = qobject_cast<RemoteImage*>(again[0]);
    ASSERT_TRUE(QTest::qWaitFor([&] { return image->status() == Status::Ready; }, 10000));
    int fetchesOfTheFirst = 0;
    for (const RecordedRequest& request : server.requests()) {
        fetchesOfTheFirst += request.path == cases[0].path;
        EXPECT_FALSE(request.hasHeader("cookie") || request.hasHeader("authorization")) << request.path.toStdString();
    }
    EXPECT_EQ(fetchesOfTheFirst, 2);
}

} // namespace

#include "MarkdownViewTest.moc"

// A bubble that fits its text gives its rows their width only once they are
// made: the text is laid out at that width, and again at each new one.
TEST_F(MarkdownViewTest, aFittedBubbleWrapsItsTextAtTheWidthItGives)
{
    QQmlComponent component(&m_engine);
    component.setData("import QtQuick\nimport Vorbel.Ui.Markdown\n"
                      "Item { width: Math.min(text.implicitWidth, 460); property alias text: text\n"
                      "  MarkdownMessage { id: text; width: parent.width;"
                      " text: \"Can you show it in **Python** too?\\n\\n```python\\nprint('hi')\\n```\" } }",
                      QUrl());
    std::unique_ptr<QQuickItem> bubble(qobject_cast<QQuickItem*>(component.create()));
    ASSERT_TRUE(bubble) << component.errorString().toStdString();
    bubble->setParentItem(m_window.contentItem());
    auto* view = bubble->property("text").value<QQuickItem*>();
    const auto paragraphLines = [&] {
        m_window.grabWindow();
        const QQuickItem* row = items("markdownRow", false, view).value(0);
        return row ? std::round(row->height() / row->property("lineHeight").toReal()) : 0.0;
    };
    EXPECT_EQ(paragraphLines(), 1);
    view->setProperty("rowWidth", 80);
    EXPECT_GT(paragraphLines(), 1);
    view->setProperty("rowWidth", 460);
    EXPECT_EQ(paragraphLines(), 1);
}
