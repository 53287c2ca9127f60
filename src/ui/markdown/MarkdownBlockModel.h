#pragma once

#include "markdown/GrowingMarkdownParse.h"
#include "ui/markdown/MarkdownRows.h"

#include <QAbstractListModel>
#include <QColor>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// The rows a Markdown view draws for one message text. Setting a new text
// parses it (only its end, while a reply grows), compares the new top-level
// blocks with the old ones, and signals just the rows that changed: a streamed
// piece that extends the last paragraph changes one row, one that starts a
// block inserts one, and nothing above is laid out again.
//
// Parsing runs on the UI thread while it is cheap; a text over
// maxSynchronousParseBytes that does not just extend the last one parsed, or a
// text whose parses took longer than the synchronous limit twice in a row, is
// parsed on the thread pool, one parse at a time, and each result is applied in
// order, so an older parse never replaces a newer one. A result for a model
// that is gone is dropped.
//
// A plain text (`plain`) is not parsed: its rows are its paragraphs, cut as
// plainRowsOf does, with inline Markdown only; a piece changes the last row.
// A text too large to format (`written`) is cut into TextChunks shown as
// written, so only the chunks near a viewport are ever laid out.
class MarkdownBlockModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    // When set, an object whose `text` property the model follows instead: a
    // list row's `model`. A text kept in a property declared in QML is a
    // script string, and each piece of a long reply copied into one makes the
    // script collector run over every object of the window. Unset, the text
    // is cleared.
    Q_PROPERTY(QObject* textSource READ textSource WRITE setTextSource NOTIFY textSourceChanged)
    Q_PROPERTY(bool plain READ plain WRITE setPlain NOTIFY plainChanged)
    Q_PROPERTY(bool written READ written WRITE setWritten NOTIFY writtenChanged)
    Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor NOTIFY styleChanged)
    Q_PROPERTY(QColor linkColor READ linkColor WRITE setLinkColor NOTIFY styleChanged)
    Q_PROPERTY(QColor codeBackground READ codeBackground WRITE setCodeBackground NOTIFY styleChanged)
    Q_PROPERTY(bool darkCode READ darkCode WRITE setDarkCode NOTIFY styleChanged)
    Q_PROPERTY(bool highlightCode READ highlightCode WRITE setHighlightCode NOTIFY styleChanged)
    Q_PROPERTY(QFont codeFont READ codeFont CONSTANT)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    enum Role {
        KindRole = Qt::UserRole + 1, // a Kind
        IndentRole,
        BarsRole,       // [{x, joinsAbove}] of the quotes around the row
        MarkerRole,     // "", "bullet", "number", "checked", "unchecked"
        MarkerTextRole, // "•", "3."
        SpacingAboveRole,
        HtmlRole,       // rich text of a paragraph, heading or code block
        HasTextRole,    // a paragraph that is more than its web images
        ImagesRole,     // [{source, alt, light, dark}] of a paragraph
        LevelRole,      // of a heading
        LanguageRole,   // of a code block's fence
        CopyTextRole,   // what "Copy code" / "Copy table" puts on the clipboard
        TextRole,       // an HTML block or a plain row, shown as written
        ColumnsRole,    // of a table
        CellsRole,      // [{html, header, align, lastColumn, lastRow}], row by row, of the drawn part
        NoteRole,       // why a table is not drawn whole
        CutTextRole,    // the part of a table not drawn, as text
        TextLengthRole, // characters and lines, for a height guess before the row is laid out
        LineCountRole,
    };

    // What a row draws; a plain row is a paragraph of a plain text.
    enum Kind { Paragraph, Heading, Code, Table, Html, Rule, Empty, Plain };
    Q_ENUM(Kind)

    static constexpr std::size_t maxSynchronousParseBytes = 32 * 1024;

    explicit MarkdownBlockModel(QObject* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    QObject* textSource() const { return m_textSource; }
    void setTextSource(QObject* source);
    bool plain() const { return m_plain; }
    void setPlain(bool plain);
    bool written() const { return m_written; }
    void setWritten(bool written);
    QColor textColor() const { return m_style.textColor; }
    void setTextColor(const QColor& color);
    QColor linkColor() const { return m_style.linkColor; }
    void setLinkColor(const QColor& color);
    QColor codeBackground() const { return m_style.codeBackground; }
    void setCodeBackground(const QColor& color);
    bool darkCode() const { return m_style.darkCode; }
    void setDarkCode(bool dark);
    bool highlightCode() const { return m_style.highlightCode; }
    void setHighlightCode(bool highlight);
    QFont codeFont() const { return m_codeFont; }
    int count() const { return static_cast<int>(cutFromText() ? m_textRows.size() : m_rows.size()); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    // The first plain row in which `searchText` shows, or -1.
    Q_INVOKABLE int rowOfMatch(const QString& searchText) const;

    // The top-level blocks shown now (they lag `text` while a parse runs off the UI thread).
    std::vector<Markdown::BlockNode> blocks() const;
    // Parses slower than this move off the UI thread; zero sends every parse there.
    void setSynchronousParseLimit(std::chrono::microseconds limit) { m_synchronousLimit = limit; }
    bool isParsing() const { return m_parsing; }

Q_SIGNALS:
    void textChanged();
    void textSourceChanged();
    void plainChanged();
    void writtenChanged();
    void styleChanged();
    void countChanged();

private Q_SLOTS:
    void readTextSource();

private:
    // Plain and written rows are cut from the text, not parsed.
    bool cutFromText() const { return m_plain || m_written; }
    void changeCut(bool& mode, bool on);
    void applyTextRows();
    void clearRows();
    void parseInBackground(std::string text);
    void noteParseTime(std::chrono::nanoseconds elapsed);
    void apply(const ParsedMarkdownPtr& parsed);
    void replaceRows(std::size_t first, std::size_t count, std::vector<MarkdownRow> rows);
    template <typename Value>
    void changeStyle(Value MarkdownRowStyle::*field, const Value& value);

    QString m_text;
    QPointer<QObject> m_textSource;
    ParsedMarkdownPtr m_parsed;
    std::vector<std::size_t> m_rowCounts; // rows of each top-level block
    std::vector<MarkdownRow> m_rows;
    std::vector<QString> m_textRows;                             // plain or written
    mutable std::vector<std::optional<QVariantMap>> m_presented; // filled on first read
    MarkdownRowStyle m_style;
    QFont m_codeFont;
    std::chrono::microseconds m_synchronousLimit{3000};
    bool m_inBackground = false;
    bool m_lastParseSlow = false;
    bool m_parsing = false;
    bool m_plain = false;
    bool m_written = false;
};
