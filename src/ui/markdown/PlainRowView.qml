import QtQuick
import Vorbel.Ui.Markdown

// One row of a plain MarkdownMessage: a paragraph with inline Markdown only, its
// lines as typed. The first row that holds a search's match selects it.
LazyRow {
    objectName: "plainRow"

    required property string html
    required property string text
    required textLength
    required lineCount

    property color textColor
    property bool holdsMatch: false
    property string highlight
}
