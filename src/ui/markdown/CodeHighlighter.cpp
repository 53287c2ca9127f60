#include "ui/markdown/CodeHighlighter.h"

#include <QHash>
#include <QSet>
#include <QStringList>

#include <initializer_list>

namespace {

enum class Token { Plain, Keyword, String, Comment, Number, Added, Removed, Hunk };

// How one language family looks to the scanner.
struct Grammar {
    QSet<QString> keywords;
    QStringList lineComments; // "//", "#", "--"
    QString blockCommentOpen; // "/*", "<!--"
    QString blockCommentClose;
    QString stringQuotes;      // the characters that open a string
    bool tripleQuotes = false; // Python's """ and '''
    bool caseInsensitive = false;
    bool lineBased = false;  // diff and markdown: coloured per line
    bool markupTags = false; // html and xml: <tag> names as keywords
    bool yamlKeys = false;   // "key:" at a line's start as a keyword
};

QSet<QString> words(const char* list)
{
    QSet<QString> set;
    for (const QString& word : QString::fromLatin1(list).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        set.insert(word);
    return set;
}

const char* const cKeywords =
    "auto break case char const continue default do double else enum extern float for goto if inline int long "
    "register restrict return short signed sizeof static struct switch typedef union unsigned void volatile while "
    "bool true false NULL";
const char* const cppKeywords =
    "alignas alignof and asm bool catch class co_await co_return co_yield concept consteval constexpr constinit "
    "const_cast decltype delete dynamic_cast explicit export friend mutable namespace new noexcept not nullptr "
    "operator or override private protected public reinterpret_cast requires static_assert static_cast template "
    "this thread_local throw try typeid typename using virtual final";

Grammar grammar(const char* keywords, QStringList lineComments, const QString& blockOpen, const QString& blockClose,
                const char* quotes)
{
    Grammar made;
    made.keywords = words(keywords);
    made.lineComments = std::move(lineComments);
    made.blockCommentOpen = blockOpen;
    made.blockCommentClose = blockClose;
    made.stringQuotes = QString::fromLatin1(quotes);
    return made;
}

QHash<QString, Grammar> makeGrammars()
{
    QHash<QString, Grammar> grammars;
    const auto add = [&](std::initializer_list<const char*> names, const Grammar& value) {
        for (const char* name : names)
            grammars.insert(QString::fromLatin1(name), value);
    };
    const QStringList slashes{QStringLiteral("//")};
    const QStringList hash{QStringLiteral("#")};
    const QString cOpen = QStringLiteral("/*");
    const QString cClose = QStringLiteral("*/");

    const Grammar c = grammar(cKeywords, slashes, cOpen, cClose, "\"'");
    add({"c"}, c);
    Grammar cpp = c;
    cpp.keywords.unite(words(cppKeywords));
    add({"cpp", "c++", "cc", "cxx", "h", "hpp", "objc", "objective-c"}, cpp);

    add({"javascript", "js", "jsx", "mjs", "typescript", "ts", "tsx", "json5"},
        grammar("async await break case catch class const continue debugger default delete do else export "
                "extends false finally for from function if import in instanceof let new null of return "
                "static super switch this throw true try typeof undefined var void while with yield "
                "interface type enum implements private protected public readonly declare namespace as "
                "any number string boolean",
                slashes, cOpen, cClose, "\"'`"));
    add({"json"}, grammar("true false null", {}, {}, {}, "\""));

    Grammar python = grammar("False None True and as assert async await break class continue def del elif else "
                             "except finally for from global if import in is lambda nonlocal not or pass raise "
                             "return try while with yield self match case",
                             hash, {}, {}, "\"'");
    python.tripleQuotes = true;
    add({"python", "py", "python3"}, python);

    add({"bash", "sh", "shell", "zsh", "console", "shellscript"},
        grammar("if then else elif fi for in do done while until case esac function return local export "
                "readonly unset shift exit break continue source alias echo set declare",
                hash, {}, {}, "\"'"));
    add({"rust", "rs"},
        grammar("as async await break const continue crate dyn else enum extern false fn for if impl in let loop "
                "match mod move mut pub ref return self Self static struct super trait true type unsafe use where "
                "while i8 i16 i32 i64 i128 isize u8 u16 u32 u64 u128 usize f32 f64 bool char str String Vec "
                "Option Some None Result Ok Err",
                slashes, cOpen, cClose, "\""));
    add({"go", "golang"},
        grammar("break case chan const continue default defer else fallthrough for func go goto if import "
                "interface map package range return select struct switch type var true false nil iota int int8 "
                "int16 int32 int64 uint uint8 uint16 uint32 uint64 float32 float64 string bool byte rune error any",
                slashes, cOpen, cClose, "\"'`"));
    add({"java"},
        grammar("abstract assert boolean break byte case catch char class const continue default do double else "
                "enum extends final finally float for goto if implements import instanceof int interface long "
                "native new package private protected public return short static strictfp super switch "
                "synchronized this throw throws transient try void volatile while var record true false null",
                slashes, cOpen, cClose, "\"'"));

    Grammar sql = grammar("select from where insert into values update set delete create table drop alter add "
                          "column index primary key foreign references join inner left right outer full on as and "
                          "or not null is in like between group by order having limit offset distinct union all "
                          "case when then else end exists default unique integer int text varchar boolean true "
                          "false asc desc count begin commit rollback view with returning",
                          {QStringLiteral("--")}, cOpen, cClose, "'\"");
    sql.caseInsensitive = true;
    add({"sql"}, sql);

    Grammar markup = grammar("", {}, QStringLiteral("<!--"), QStringLiteral("-->"), "");
    markup.markupTags = true;
    add({"html", "xml", "svg", "xhtml", "vue"}, markup);

    add({"css", "scss"}, grammar("important media import font-face keyframes supports", {}, cOpen, cClose, "\"'"));

    Grammar yaml = grammar("true false null yes no on off", hash, {}, {}, "\"'");
    yaml.yamlKeys = true;
    add({"yaml", "yml"}, yaml);

    Grammar lines;
    lines.lineBased = true;
    add({"diff", "patch", "markdown", "md"}, lines);
    return grammars;
}

const QHash<QString, Grammar>& grammars()
{
    static const QHash<QString, Grammar> table = makeGrammars();
    return table;
}

QString colorOf(Token token, CodeHighlighter::Appearance appearance)
{
    const bool dark = appearance == CodeHighlighter::Appearance::Dark;
    switch (token) {
    case Token::Keyword: return dark ? QStringLiteral("#FF7AB2") : QStringLiteral("#9B2393");
    case Token::String: return dark ? QStringLiteral("#FC6A5D") : QStringLiteral("#C41A16");
    case Token::Comment: return dark ? QStringLiteral("#7F8C98") : QStringLiteral("#5D6C79");
    case Token::Number: return dark ? QStringLiteral("#D0BF69") : QStringLiteral("#1C00CF");
    case Token::Added: return dark ? QStringLiteral("#30D158") : QStringLiteral("#248A3D");
    case Token::Removed: return dark ? QStringLiteral("#FF453A") : QStringLiteral("#D70015");
    case Token::Hunk: return dark ? QStringLiteral("#6BDFFF") : QStringLiteral("#0B4F79");
    case Token::Plain: break;
    }
    return {};
}

bool isWordStart(QChar c) { return c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char('$'); }
bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$'); }

// Collects the coloured runs of one block of code.
class Scanner {
public:
    Scanner(const QString& code, const Grammar& grammar, CodeHighlighter::Appearance appearance)
        : m_code(code)
        , m_grammar(grammar)
        , m_appearance(appearance)
    {
    }

    QString run()
    {
        if (m_grammar.lineBased)
            scanLines();
        else
            scanTokens();
        return m_html;
    }

private:
    void append(Token token, qsizetype from, qsizetype to)
    {
        if (to <= from)
            return;
        const QString text = m_code.mid(from, to - from).toHtmlEscaped();
        if (token == Token::Plain)
            m_html += text;
        else
            m_html += QStringLiteral("<span style=\"color:%1\">%2</span>").arg(colorOf(token, m_appearance), text);
    }

    qsizetype lineEnd(qsizetype from) const
    {
        const qsizetype end = m_code.indexOf(QLatin1Char('\n'), from);
        return end < 0 ? m_code.size() : end;
    }

    void scanLines()
    {
        for (qsizetype at = 0; at < m_code.size();) {
            const qsizetype end = lineEnd(at);
            const QStringView line = QStringView(m_code).mid(at, end - at);
            Token token = Token::Plain;
            if (line.startsWith(QLatin1String("+++")) || line.startsWith(QLatin1String("---")))
                token = Token::Comment;
            else if (line.startsWith(QLatin1Char('+')))
                token = Token::Added;
            else if (line.startsWith(QLatin1Char('-')))
                token = Token::Removed;
            else if (line.startsWith(QLatin1String("@@")))
                token = Token::Hunk;
            else if (line.startsWith(QLatin1Char('#')))
                token = Token::Keyword;
            else if (line.startsWith(QLatin1String("```")) || line.startsWith(QLatin1String("    ")))
                token = Token::String;
            append(token, at, end);
            append(Token::Plain, end, qMin(end + 1, m_code.size()));
            at = end + 1;
        }
    }

    bool startsHere(qsizetype at, const QString& marker) const
    {
        return !marker.isEmpty() && QStringView(m_code).mid(at).startsWith(marker);
    }

    void scanTokens()
    {
        qsizetype plainFrom = 0;
        qsizetype at = 0;
        bool lineStart = true;
        const auto flushPlain = [&](qsizetype to) { append(Token::Plain, plainFrom, to); };
        while (at < m_code.size()) {
            const QChar c = m_code.at(at);
            qsizetype end = -1;
            Token token = Token::Plain;
            if (startsHere(at, m_grammar.blockCommentOpen)) {
                const qsizetype close =
                    m_code.indexOf(m_grammar.blockCommentClose, at + m_grammar.blockCommentOpen.size());
                end = close < 0 ? m_code.size() : close + m_grammar.blockCommentClose.size();
                token = Token::Comment;
            } else if (isLineComment(at)) {
                end = lineEnd(at);
                token = Token::Comment;
            } else if (m_grammar.stringQuotes.contains(c)) {
                end = stringEnd(at);
                token = Token::String;
            } else if (c.isDigit() && (at == 0 || !isWordChar(m_code.at(at - 1)))) {
                end = at + 1;
                while (end < m_code.size()
                       && (m_code.at(end).isLetterOrNumber() || m_code.at(end) == QLatin1Char('.')
                           || m_code.at(end) == QLatin1Char('_')))
                    ++end;
                token = Token::Number;
            } else if (m_grammar.markupTags && c == QLatin1Char('<')) {
                end = at + 1;
                if (end < m_code.size() && m_code.at(end) == QLatin1Char('/'))
                    ++end;
                while (end < m_code.size() && (isWordChar(m_code.at(end)) || m_code.at(end) == QLatin1Char('-')))
                    ++end;
                token = end > at + 1 ? Token::Keyword : Token::Plain;
                if (token == Token::Plain)
                    end = -1;
            } else if (isWordStart(c)) {
                end = at + 1;
                while (end < m_code.size()
                       && (isWordChar(m_code.at(end)) || (m_grammar.yamlKeys && m_code.at(end) == QLatin1Char('-'))))
                    ++end;
                const QString word = m_code.mid(at, end - at);
                const bool yamlKey = m_grammar.yamlKeys && lineStart && end < m_code.size()
                                  && m_code.at(end) == QLatin1Char(':');
                if (yamlKey || m_grammar.keywords.contains(m_grammar.caseInsensitive ? word.toLower() : word))
                    token = Token::Keyword;
            }
            if (end < 0) {
                if (c == QLatin1Char('\n'))
                    lineStart = true;
                else if (!c.isSpace())
                    lineStart = false;
                ++at;
                continue;
            }
            if (token != Token::Plain) {
                flushPlain(at);
                append(token, at, end);
                plainFrom = end;
            }
            lineStart = false;
            at = end;
        }
        flushPlain(m_code.size());
    }

    bool isLineComment(qsizetype at) const
    {
        for (const QString& marker : m_grammar.lineComments) {
            if (!startsHere(at, marker))
                continue;
            // "#" starts a shell comment only at a word's start ("$#" and "a#b" are not comments).
            if (marker == QLatin1String("#") && at > 0 && !m_code.at(at - 1).isSpace())
                return false;
            return true;
        }
        return false;
    }

    qsizetype stringEnd(qsizetype at) const
    {
        const QChar quote = m_code.at(at);
        if (m_grammar.tripleQuotes) {
            const QString triple(3, quote);
            if (startsHere(at, triple)) {
                const qsizetype close = m_code.indexOf(triple, at + 3);
                return close < 0 ? m_code.size() : close + 3;
            }
        }
        // A string ends at its closing quote or, unless it is a template string, at the line's end.
        const bool multiLine = quote == QLatin1Char('`');
        for (qsizetype end = at + 1; end < m_code.size(); ++end) {
            const QChar c = m_code.at(end);
            if (c == QLatin1Char('\\')) {
                ++end;
                continue;
            }
            if (c == quote)
                return end + 1;
            if (c == QLatin1Char('\n') && !multiLine)
                return end;
        }
        return m_code.size();
    }

    const QString& m_code;
    const Grammar& m_grammar;
    CodeHighlighter::Appearance m_appearance;
    QString m_html;
};

} // namespace

QString CodeHighlighter::languageOf(const QString& fenceInfo)
{
    const QString trimmed = fenceInfo.trimmed();
    qsizetype end = 0;
    while (end < trimmed.size() && !trimmed.at(end).isSpace() && trimmed.at(end) != QLatin1Char('{')
           && trimmed.at(end) != QLatin1Char(','))
        ++end;
    return trimmed.left(end).toLower();
}

bool CodeHighlighter::knows(const QString& language) { return grammars().contains(language); }

QString CodeHighlighter::toHtml(const QString& code, const QString& language, Appearance appearance)
{
    const auto grammar = grammars().constFind(language);
    const QString body = grammar == grammars().constEnd() ? code.toHtmlEscaped()
                                                          : Scanner(code, *grammar, appearance).run();
    return QStringLiteral("<div style=\"white-space:pre\">%1</div>").arg(body);
}
