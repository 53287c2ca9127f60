// The block model behind MarkdownView: which rows a streamed piece signals,
// and that piecewise parsing always ends where a whole parse does.
#include "markdown/CorpusExamples.h" // from tests/markdown

#include "ui/MarkdownBlockModel.h"

#include "markdown/MarkdownParser.h"
#include "markdown/ModelPrinter.h" // from tests/markdown

#include <QAbstractItemModelTester>
#include <QSignalSpy>
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
