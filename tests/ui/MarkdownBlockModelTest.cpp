// The block model behind MarkdownView: which rows a streamed piece signals,
// and that piecewise parsing always ends where a whole parse does.
#include "markdown/CorpusExamples.h" // from tests/markdown

#include "ui/GradualListModel.h"
#include "ui/MarkdownBlockModel.h"

#include "markdown/MarkdownParser.h"
#include "markdown/ModelPrinter.h" // from tests/markdown

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QThreadPool>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

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

// Streams `text` in pieces of `piece` bytes; at each step the blocks must be a
// whole parse's, and at the end every row must be what a fresh model shows.
void expectStreamingMatchesWholeParse(const std::string& text, std::size_t piece, const std::string& label)
{
    MarkdownBlockModel streamed;
    streamed.setSynchronousParseLimit(std::chrono::hours(1)); // every step applied at once
    QAbstractItemModelTester tester(&streamed, QAbstractItemModelTester::FailureReportingMode::Warning);
    for (std::size_t end = piece;; end += piece) {
        const std::string prefix = text.substr(0, std::min(end, text.size()));
        streamed.setText(QString::fromStdString(prefix));
        // Pieces may split a UTF-8 sequence; compare with what the model was given.
        ASSERT_EQ(streamed.blocks(), Markdown::parse(streamed.text().toStdString())) << label << " after " << end << " bytes";
        if (end >= text.size())
            break;
    }
    MarkdownBlockModel whole;
    whole.setText(streamed.text());
    ASSERT_EQ(rowsOf(streamed), rowsOf(whole)) << label;
}

std::string longReply()
{
    std::string text = "# Setting up\n\nIntro with **bold**, `code` and [a link](https://example.com).\n\n";
    for (int n = 1; text.size() < 12000; ++n) {
        const std::string s = std::to_string(n);
        text += "## Step " + s + "\n\n1. first\n2. second\n   - nested " + s + "\n   - [x] done\n\n"
                "```cpp\nint main()\n{\n    return " + s + ";\n}\n```\n\n"
                "| Option | Default |\n|:--|--:|\n| `jobs` | " + s + " |\n| b | c |\n\n"
                "> Tip " + s + "\n> continued\n\n---\n\nSome text\nover two lines.  \nHard break.\n\n";
    }
    return text;
}

TEST(MarkdownBlockModel, aStreamedPieceSignalsOnlyTheRowsItChanges)
{
    struct Case {
        const char* name;
        QString before;
        QString piece;
        int changedRow; // -1: none
        int insertedRows;
    };
    const QString start = QStringLiteral("# Title\n\n| a | b |\n|:-|-:|\n| 1 | 2 |\n\n");
    const std::vector<Case> cases{
        {"extends the last paragraph", start + "Some text", " and more", 2, 0},
        {"extends the last code block", start + "```cpp\nint a;\n", "int b;\n", 2, 0},
        {"extends a table", QStringLiteral("# Title\n\n| a | b |\n|:-|-:|\n| 1 | 2 |\n"), "| 3 | 4 |\n", 1, 0},
        {"starts a new block", start + "Some text\n\n", "- item", -1, 1},
        {"adds a list item", start + "- one\n- two", "\n- three", -1, 1},
        {"underlines a paragraph into a heading", start + "Heading", "\n===", 2, 0},
    };
    for (const Case& c : cases) {
        MarkdownBlockModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
        model.setText(c.before);
        // Read every row once, as the view does, so a stale cache would show.
        const QList<QVariantMap> before = rowsOf(model);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        model.setText(c.before + c.piece);

        SCOPED_TRACE(c.name);
        EXPECT_EQ(removed.count() + reset.count(), 0);
        if (c.changedRow < 0) {
            EXPECT_EQ(changed.count(), 0);
        } else {
            ASSERT_EQ(changed.count(), 1);
            EXPECT_EQ(changed[0][0].toModelIndex().row(), c.changedRow);
            EXPECT_EQ(changed[0][1].toModelIndex().row(), c.changedRow);
        }
        if (c.insertedRows == 0) {
            EXPECT_EQ(inserted.count(), 0);
        } else {
            ASSERT_EQ(inserted.count(), 1);
            EXPECT_EQ(inserted[0][1].toInt(), before.size());
            EXPECT_EQ(inserted[0][2].toInt() - inserted[0][1].toInt() + 1, c.insertedRows);
        }
        MarkdownBlockModel fresh;
        fresh.setText(model.text());
        EXPECT_EQ(rowsOf(model), rowsOf(fresh));
    }
}

TEST(MarkdownBlockModel, streamingEndsWithTheRowsOfAWholeParse)
{
    const std::string reply = longReply();
    for (std::size_t piece : {1u, 40u})
        expectStreamingMatchesWholeParse(reply.substr(0, piece == 1 ? 1500 : reply.size()), piece, "long reply");
    // Texts that are not a continuation, and a reference definition that links an earlier line.
    MarkdownBlockModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    for (const char* text : {"- a\n- b\n\npara", "> q\n\n```\nx", "", "# A\n\n[r]\n\npara", "# A\n\n[r]\n\n[r]: https://e.com\n",
                             "* x\n\n1. y\n2. z", "table | here\n---|---\n1 | 2"}) {
        model.setText(QString::fromUtf8(text));
        EXPECT_EQ(model.blocks(), Markdown::parse(text)) << text;
        MarkdownBlockModel fresh;
        fresh.setText(model.text());
        EXPECT_EQ(rowsOf(model), rowsOf(fresh)) << text;
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
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
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

} // namespace

namespace {

// A table of `columns` by `rows` data rows whose cells say where they are ("r3c7").
QString tableText(int columns, int rows)
{
    QString text;
    for (int row = 0; row <= rows; ++row) {
        for (int column = 1; column <= columns; ++column)
            text += QStringLiteral("| %1c%2 ").arg(row == 0 ? QStringLiteral("h") : QStringLiteral("r%1").arg(row)).arg(column);
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
        int columns;
        int rows;
        int drawnColumns;
        int drawnCells;
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
        if (c.note.isEmpty()) {
            EXPECT_TRUE(note.isEmpty() && cut.isEmpty());
        } else {
            EXPECT_TRUE(note.contains(c.note)) << note.toStdString();
            EXPECT_TRUE(cut.contains(last)); // the last cell is never drawn
            EXPECT_EQ(cut.contains(QStringLiteral("r1c%1 ").arg(c.columns)), c.drawnColumns < c.columns);
        }
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

    // A model gone before its parse comes back drops the result.
    model->setText(QString::fromStdString(reply + "\n\nmore"));
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
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setBatch(100);
    QVariantList values;
    for (int value = 0; value < 250; ++value)
        values << value;
    model.setValues(values);
    EXPECT_EQ(model.rowCount(), 100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.isComplete(); }));
    EXPECT_EQ(model.rowCount(), 250);

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    values = values.mid(0, 200);
    values[150] = -1;
    model.setValues(values);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 150);
    EXPECT_EQ(changed[0][1].toModelIndex().row(), 150);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed[0][1].toInt(), 200);
    EXPECT_EQ(model.data(model.index(150), GradualListModel::ValueRole).toInt(), -1);
}
