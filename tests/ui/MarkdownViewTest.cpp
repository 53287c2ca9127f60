// MarkdownView as the bubble uses it, offscreen: copy buttons, links, and
// delegates that survive a streamed piece.
#include <QAccessible>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <gtest/gtest.h>

#include <memory>

Q_IMPORT_QML_PLUGIN(Vorbel_UiPlugin)

namespace {

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
        component.setData("import QtQuick\nimport Vorbel.Ui\nMarkdownView { width: 460 }", QUrl());
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

    QList<QQuickItem*> items(const QString& name) const
    {
        QList<QQuickItem*> found;
        const std::function<void(QQuickItem*)> walk = [&](QQuickItem* item) {
            if (item->objectName() == name && item->isVisible())
                found << item;
            for (QQuickItem* child : item->childItems())
                walk(child);
        };
        walk(m_view);
        return found;
    }

    void click(QQuickItem* target, QPointF at = {-1, -1})
    {
        ASSERT_TRUE(target);
        if (at.x() < 0)
            at = QPointF(target->width() / 2, target->height() / 2);
        QTest::mouseClick(&m_window, Qt::LeftButton, {}, target->mapToScene(at).toPoint());
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
    for (QQuickItem* button : {code[0], table[0]}) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        ASSERT_TRUE(accessible);
        EXPECT_EQ(accessible->text(QAccessible::Name), button == code[0] ? "Copy code" : "Copy table");
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

TEST_F(MarkdownViewTest, onlyWebAndMailLinksOpenAndTheirAddressShowsOnHover)
{
    UrlRecorder recorder;
    for (const char* scheme : {"file", "javascript", "https", "http", "mailto", "data"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &recorder, "open");
    struct Case {
        QString address;
        bool opens;
    };
    const std::vector<Case> cases{{"file:///etc/passwd", false},
                                  {"javascript:alert(1)", false},
                                  {"data:text/html,hi", false},
                                  {"https://example.com/a?b=1", true},
                                  {"mailto:someone@example.com", true}};
    for (const Case& c : cases) {
        recorder.opened.clear();
        setText(QStringLiteral("[Linked words here](%1) and then plain text.\n\n```\ncode\n```").arg(c.address));
        const QList<QQuickItem*> texts = items("markdownText");
        ASSERT_FALSE(texts.isEmpty());
        QQuickItem* paragraph = texts.front();
        const QPointF onLink(20, paragraph->height() / 2);
        QTest::mouseMove(&m_window, QPoint(m_window.width() - 2, m_window.height() - 2)); // off the last link
        QTest::mouseMove(&m_window, paragraph->mapToScene(onLink).toPoint());
        EXPECT_TRUE(QTest::qWaitFor([&] { return paragraph->property("hoveredLink").toString() == c.address; }, 2000))
            << c.address.toStdString() << " hovered: " << paragraph->property("hoveredLink").toString().toStdString();
        EXPECT_EQ(m_window.cursor().shape(), Qt::PointingHandCursor);
        click(paragraph, onLink);
        EXPECT_EQ(recorder.opened, c.opens ? QList<QUrl>{QUrl(c.address)} : QList<QUrl>{}) << c.address.toStdString();
    }
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

} // namespace

#include "MarkdownViewTest.moc"
