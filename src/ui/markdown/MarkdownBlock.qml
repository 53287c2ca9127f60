import QtQuick
import Vorbel.Ui.Common
import Vorbel.Ui.Markdown

// One row of a MarkdownMessage: a block with the bars of the quotes around it and
// the list marker before it. The roles come from MarkdownBlockModel.
LazyRow {
    objectName: "markdownRow"

    required property int index
    required property int kind
    required property int indent
    required property var bars
    required property string marker
    required property string markerText
    required spacingAbove
    required property string html
    required property bool hasText
    required property var images
    required property int level
    required property string language
    required property string copyText
    required property string text
    required property int columns
    required property var cells
    required property string note
    required property string cutText
    required textLength
    required lineCount

    property color textColor
    property color codeBackground
    property font codeFont
    readonly property color faintColor: Theme.alpha(textColor, 0.3)

    inset: indent
    decorated: bars.length > 0 || marker !== ""
}
