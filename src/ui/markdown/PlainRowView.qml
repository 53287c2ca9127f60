// Qt 6.4 cannot load a bound component, and unbound, its qmllint takes the
// ids of this file for unqualified names inside the delegates.
// qmllint disable unqualified
import QtQuick
import Vorbel.Ui.Markdown

// One row of a plain MarkdownMessage: a paragraph with inline Markdown only, its
// lines as typed. The first row that holds a search's match selects it.
LazyRow {
    id: row
    objectName: "plainRow"

    required property string html
    required property string text
    required textLength
    required lineCount

    property color textColor
    property bool holdsMatch: false
    property string highlight

    // The text as wide as its longest line, up to the row's width: the bubble fits it.
    body: Item {
        implicitWidth: plainText.width
        implicitHeight: plainText.implicitHeight

        SelectableRichText {
            id: plainText
            objectName: "plainText"
            width: Math.min(implicitWidth, parent.width)
            text: row.html
            color: row.textColor

            function markMatch() {
                if (!row.holdsMatch || !row.highlight)
                    return
                const match = MessageFormatting.searchMatch(getText(0, length), row.highlight)
                if (match.length === 2)
                    select(match[0], match[0] + match[1])
            }
            Component.onCompleted: markMatch()
            Connections {
                target: row
                function onHoldsMatchChanged() { plainText.markMatch() }
                function onHighlightChanged() { plainText.markMatch() }
            }
        }
    }
}
