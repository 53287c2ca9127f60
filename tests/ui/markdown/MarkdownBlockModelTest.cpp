// The block model behind MarkdownMessage: which rows a streamed piece signals,
// and that piecewise parsing always ends where a whole parse does.
#include "markdown/CorpusExamples.h" // from tests/markdown

#include "ui/markdown/GradualListModel.h"
#include "ui/markdown/MarkdownBlockModel.h"
#include "ui/markdown/TextChunks.h"

#include "markdown/MarkdownParser.h"
#include "markdown/ModelPrinter.h" // from tests/markdown
#include "support/ModelTester.h"

#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace {

// Every role of every row, to compare a streamed model with a fresh one.
QList<QVariantMap> rowsOf(const MarkdownBlockModel& model)
{
    QList<QVariantMap> rows;
    const QHash<int, QByteArray> names = model.roleNames();
    for (int row = 0; row < model.rowCount(); ++row) {
        QVariantMap values;
        for (auto role = names.begin(); role != names.end(); ++role)
            values.insert(QString::fromLatin1(role.value()), model.data(model.index(row), role.key()));
        rows << values;
    }
    return rows;
}

// The change signals a model sends, in order, as "changed 2-2".
struct SignalLog {
    explicit SignalLog(QAbstractItemModel& model)
    {
        const auto log = [this](const char* what, int first, int last) {
            lines << QStringLiteral("%1 %2-%3").arg(what).arg(first).arg(last);
        };
        using M = QAbstractItemModel;
        QObject::connect(&model, &M::dataChanged, &context, [=](auto a, auto b) { log("changed", a.row(), b.row()); });
        QObject::connect(&model, &M::rowsInserted, &context, [=](auto, int a, int b) { log("inserted", a, b); });
        QObject::connect(&model, &M::rowsRemoved, &context, [=](auto, int a, int b) { log("removed", a, b); });
        QObject::connect(&model, &M::modelReset, &context, [=] { log("reset", 0, 0); });
    }
    QObject context;
    QStringList lines;
};

// A model built afresh from the same text must show the same rows.
void expectRowsOfAFreshModel(const MarkdownBlockModel& model, const std::string& label)
{
    MarkdownBlockModel fresh;
    fresh.setPlain(model.plain());
    fresh.setWritten(model.written());
    fresh.setText(model.text());
    EXPECT_EQ(rowsOf(model), rowsOf(fresh)) << label;
}

// Streams `text` in pieces of `piece` bytes; at each step the blocks must be a
// whole parse's, and at the end every row must be what a fresh model shows.
void expectStreamingMatchesWholeParse(const std::string& text, std::size_t piece, const std::string& label)
{
    MarkdownBlockModel streamed;
    streamed.setSynchronousParseLimit(std::chrono::hours(1)); // every step applied at once
    watch(&streamed);
    for (std::size_t end = piece;; end += piece) {
        const std::string prefix = text.substr(0, std::min(end, text.size()));
        streamed.setText(QString::fromStdString(prefix));
        // Pieces may split a UTF-8 sequence; compare with what the model was given.
        ASSERT_EQ(streamed.blocks(), Markdown::parse(streamed.text().toStdString()))
            << label << " after " << end << " bytes";
        if (end >= text.size())
            break;
    }
    expectRowsOfAFreshModel(streamed, label);
}

std::string longReply()
{
    std::string text = "# Setting up\n\nIntro with **bold**, `code` and [a link](https://example.com).\n\n";
    for (int n = 1; text.size() < 12000; ++n) {
        const std::string number = std::to_string(n);
        const std::string_view s = number;
        for (const std::string_view part : std::initializer_list<std::string_view>{
                 "## Step ", s, "\n\n1. first\n2. second\n   - nested ", s, "\n   - [x] done\n\n",
                 "```cpp\nint main()\n{\n    return ", s, ";\n}\n```\n\n",
                 "| Option | Default |\n|:--|--:|\n| `jobs` | ", s, " |\n| b | c |\n\n", "> Tip ", s,
                 "\n> continued\n\n---\n\nSome text\nover two lines.  \nHard break.\n\n"})
            text += part;
    }
    return text;
}

TEST(MarkdownBlockModel, aStreamedPieceSignalsOnlyTheRowsItChanges)
{
    const QString start = QStringLiteral("# Title\n\n| a | b |\n|:-|-:|\n| 1 | 2 |\n\n");
    const QString longLine = QString(maxPlainRowLength, QLatin1Char('x')) + QLatin1Char('\n');
    const qsizetype chunk = TextChunks::maxChunk;
    enum Cut { Parsed, Plain, Written };
    const std::vector<std::tuple<const char*, Cut, QString, QString, std::string>> cases{
        {"extends the last paragraph", Parsed, start + "Some text", " and more", "changed 2-2"},
        {"extends the last code block", Parsed, start + "```cpp\nint a;\n", "int b;\n", "changed 2-2"},
        {"extends a table", Parsed, start.chopped(1), "| 3 | 4 |\n", "changed 1-1"},
        {"starts a new block", Parsed, start + "Some text\n\n", "- item", "inserted 3-3"},
        {"adds a list item", Parsed, start + "- one\n- two", "\n- three", "inserted 4-4"},
        {"underlines a paragraph into a heading", Parsed, start + "Heading", "\n===", "changed 2-2"},
        {"extends the last plain paragraph", Plain, "One\n\n**Two**", " and *more*", "changed 1-1"},
        {"extends a plain paragraph by a line", Plain, "One\n\nTwo", "\nThree", "changed 1-1"},
        {"ends a plain paragraph and starts one", Plain, "One\n\nTwo\n", "\nThree", "changed 1-1, inserted 2-2"},
        {"continues past a long plain paragraph", Plain, "# One\n" + longLine, "more", "inserted 1-1"},
        {"extends the last written chunk", Written, QString(chunk, 'x') + "\n*a*", " b", "changed 1-1"},
        {"fills a written chunk and starts one", Written, QString(chunk - 1, 'y'), "zz", "changed 0-0, inserted 1-1"},
    };
    for (const auto& [name, cut, before, piece, expected] : cases) {
        SCOPED_TRACE(name);
        MarkdownBlockModel model;
        watch(&model);
        model.setPlain(cut == Plain);
        model.setWritten(cut == Written);
        model.setText(before);
        rowsOf(model); // read every row once, as the view does, so a stale cache would show
        SignalLog log(model);
        model.setText(before + piece);
        EXPECT_EQ(log.lines.join(", ").toStdString(), expected);
        expectRowsOfAFreshModel(model, name);
    }
}

// Plain text comes in rows that join up to it, and streamed in pieces ends in the rows of the whole.
TEST(MarkdownBlockModel, plainTextStreamsIntoTheRowsOfTheWholeText)
{
    const QString longParagraph = QStringLiteral("A line of *words* with `code`.\r\n").repeated(80);
    for (const QString& text :
         {QStringLiteral("One\n\n\n\nTwo\n  \nThree\n"), QStringLiteral("\n\nLead"),
          longParagraph + "\n# not a heading\n" + longParagraph, QStringLiteral("1. x | y ```")}) {
        const std::vector<QString> rows = plainRowsOf(text);
        QString joined;
        for (const QString& row : rows)
            joined += row;
        EXPECT_EQ(joined, text);
        for (std::size_t row = 0; row + 1 < rows.size(); ++row)
            EXPECT_TRUE(rows[row].endsWith(QLatin1Char('\n'))) << row;
        for (const qsizetype piece : {1, 7}) {
            MarkdownBlockModel streamed;
            watch(&streamed);
            streamed.setPlain(true);
            for (qsizetype end = piece; end < text.size() + piece; end += piece) {
                streamed.setText(text.left(end));
                rowsOf(streamed);
            }
            EXPECT_EQ(streamed.count(), int(rows.size()));
            expectRowsOfAFreshModel(streamed, text.left(20).toStdString());
        }
    }
}

TEST(MarkdownBlockModel, streamingEndsWithTheRowsOfAWholeParse)
{
    const std::string reply = longReply();
    for (std::size_t piece : {1u, 40u})
        expectStreamingMatchesWholeParse(reply.substr(0, piece == 1 ? 1500 : reply.size()), piece, "long reply");
    // Texts that are not a continuation, and a reference definition that links an earlier line.
    MarkdownBlockModel model;
    watch(&model);
    for (const char* text :
         {"- a\n- b\n\npara", "> q\n\n```\nx", "", "# A\n\n[r]\n\npara", "# A\n\n[r]\n\n[r]: https://e.com\n",
          "* x\n\n1. y\n2. z", "table | here\n---|---\n1 | 2"}) {
        model.setText(QString::fromUtf8(text));
        EXPECT_EQ(model.blocks(), Markdown::parse(text)) << text;
        expectRowsOfAFreshModel(model, text);
    }
}

TEST(MarkdownBlockModel, streamingCmarkExamplesMatchesWholeParses)
{
    const std::filesystem::path corpus = cmarkCorpusFolder(VORBEL_CMARK_CORPUS_DIR);
    if (!std::filesystem::is_directory(corpus))
        GTEST_SKIP() << corpusMissingMessage(corpus);
    const std::vector<std::filesystem::path> files = corpusExampleFiles(corpus);
    ASSERT_FALSE(files.empty()) << "no example files in " << corpus;
    for (const std::filesystem::path& file : files) {
        const std::vector<CorpusExample> examples = readCorpusExamples(file.string(), file.filename().string());
        ASSERT_FALSE(examples.empty()) << "no examples read from " << file;
        for (const CorpusExample& example : examples)
            expectStreamingMatchesWholeParse(example.markdown, 1, example.key);
    }
}

TEST(MarkdownBlockModel, slowParsesRunOffTheUiThreadAndTheNewestTextWins)
{
    MarkdownBlockModel model;
    watch(&model);
    model.setSynchronousParseLimit(std::chrono::microseconds(0));
    model.setText(QStringLiteral("warm up")); // measured on the UI thread, found slow
    const std::string reply = longReply();
    for (std::size_t end = 40; end < reply.size(); end += 40)
        model.setText(QString::fromStdString(reply.substr(0, end)));
    EXPECT_TRUE(model.isParsing());
    model.setText(QString::fromStdString(reply));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.isParsing(); }, 20000));
    EXPECT_EQ(model.blocks(), Markdown::parse(reply));
}

// A table of `columns` by `rows` data rows whose cells say where they are ("r3c7").
QString tableText(int columns, int rows)
{
    QString text;
    for (int row = 0; row <= rows; ++row) {
        for (int column = 1; column <= columns; ++column)
            text += QStringLiteral("| %1c%2 ")
                        .arg(row == 0 ? QStringLiteral("h") : QStringLiteral("r%1").arg(row))
                        .arg(column);
        text += QStringLiteral("|\n");
        if (row == 0)
            text += QStringLiteral("|---").repeated(columns) + QStringLiteral("|\n");
    }
    return text;
}

} // namespace

TEST(MarkdownBlockModel, aLargeTableIsDrawnInPartAndTheRestKeptAsText)
{
    struct Case {
        int columns, rows, drawnColumns, drawnCells;
        QString note; // empty: the whole table is drawn
    };
    const std::vector<Case> cases{
        {64, 3, 64, 64 * 4, {}},
        {100, 3, 64, 64 * 4, "showing 64 of 100 columns."},
        {2, 6000, 2, 10000, "showing 4999 of 6000 rows."},
        {100, 200, 64, 64 * 156, "showing 64 of 100 columns and 155 of 200 rows."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.columns << " by " << c.rows);
        MarkdownBlockModel model;
        model.setText(tableText(c.columns, c.rows));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !model.isParsing(); }, 20000));
        ASSERT_EQ(model.rowCount(), 1);
        const QModelIndex table = model.index(0);
        EXPECT_EQ(model.data(table, MarkdownBlockModel::ColumnsRole).toInt(), c.drawnColumns);
        EXPECT_EQ(model.data(table, MarkdownBlockModel::CellsRole).toList().size(), c.drawnCells);
        const QString note = model.data(table, MarkdownBlockModel::NoteRole).toString();
        const QString cut = model.data(table, MarkdownBlockModel::CutTextRole).toString();
        const QString last = QStringLiteral("r%1c%2").arg(c.rows).arg(c.columns);
        EXPECT_TRUE(note.contains(c.note) && note.isEmpty() == c.note.isEmpty()) << note.toStdString();
        EXPECT_EQ(cut.isEmpty(), c.note.isEmpty());
        EXPECT_EQ(cut.contains(last), !c.note.isEmpty()); // the last cell of a cut table is never drawn
        EXPECT_EQ(cut.contains(QStringLiteral("r1c%1 ").arg(c.columns)), c.drawnColumns < c.columns);
        EXPECT_TRUE(model.data(table, MarkdownBlockModel::CopyTextRole).toString().endsWith(last + " |"));
    }
}

TEST(MarkdownBlockModel, aLongTextIsParsedOffTheUiThreadFromTheStart)
{
    const std::string reply = longReply() + longReply() + longReply();
    ASSERT_GT(reply.size(), MarkdownBlockModel::maxSynchronousParseBytes);
    auto model = std::make_unique<MarkdownBlockModel>();
    model->setText(QString::fromStdString(reply));
    EXPECT_TRUE(model->isParsing());
    EXPECT_EQ(model->rowCount(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model->isParsing(); }, 20000));
    EXPECT_EQ(model->blocks(), Markdown::parse(reply));

    // A piece added to it parses only the end again, on the UI thread.
    model->setText(QString::fromStdString(reply + "\n\nmore"));
    EXPECT_FALSE(model->isParsing());
    EXPECT_EQ(model->blocks(), Markdown::parse(reply + "\n\nmore"));

    // A model gone before its parse comes back drops the result.
    model->setText(QString::fromStdString("Changed.\n\n" + reply));
    ASSERT_TRUE(model->isParsing());
    model.reset();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
}

// Views get a long list a batch per turn of the event loop, and a new list
// touches only the rows that differ.
TEST(GradualListModel, revealsABatchPerTurnAndSignalsOnlyChangedRows)
{
    GradualListModel model;
    watch(&model);
    model.setBatch(100);
    QVariantList values;
    for (int value = 0; value < 250; ++value)
        values << value;
    model.setValues(values);
    EXPECT_EQ(model.rowCount(), 100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.isComplete(); }));
    EXPECT_EQ(model.rowCount(), 250);

    SignalLog log(model);
    values = values.mid(0, 200);
    values[150] = -1;
    model.setValues(values);
    log.lines.sort(); // in either order
    EXPECT_EQ(log.lines.join(", ").toStdString(), "changed 150-150, removed 200-249");
    EXPECT_EQ(model.data(model.index(150), GradualListModel::ValueRole).toInt(), -1);
}
