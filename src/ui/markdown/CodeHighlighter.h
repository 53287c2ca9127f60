#pragma once

#include <QString>

// Colours code blocks of the common fence languages: keywords, strings,
// comments and numbers (and added / removed lines of a diff). A small
// single-pass scanner of our own, linear in the code's length; code of an
// unknown language comes back escaped but uncoloured.
class CodeHighlighter {
public:
    enum class Appearance { Light, Dark };

    // The language named by a fence's info string ("cpp", "Python {.x}"):
    // its first word, lower-cased.
    static QString languageOf(const QString& fenceInfo);
    static bool knows(const QString& language);

    // The code as Qt rich text: escaped, white space kept, no line wrapping.
    static QString toHtml(const QString& code, const QString& language, Appearance appearance);
};
