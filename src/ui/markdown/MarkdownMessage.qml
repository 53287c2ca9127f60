// Qt 6.4 cannot load a bound component, and unbound, its qmllint takes the
// ids of this file for unqualified names inside the delegates.
// qmllint disable unqualified
import QtQuick
import Vorbel.Ui.Common
import Vorbel.Ui.Markdown

// A message text drawn in rows, for a bubble: lays out to `width`, grows to
// `implicitHeight`. As Markdown, each row is one block (quotes and lists are
// flattened into the blocks they hold); as plain text, each row is a
// paragraph; as written, each row is a chunk of a text too large to format.
// While a reply streams only the rows that changed are laid out again, and in
// a list only the rows near its viewport are made at all (see LazyColumn).
Item {
    id: root

    // The whole message text; it may grow piece by piece.
    property alias text: blocks.text
    // An object whose `text` is shown instead (see MarkdownBlockModel).
    property alias textSource: blocks.textSource
    // Plain text: inline Markdown only, lines kept as typed.
    property bool plain: false
    // Too large to format: shown as written, in chunks.
    property alias written: blocks.written
    // The bubble's text colour; everything is drawn in it.
    property color textColor: Theme.text
    // On a bubble in the accent colour (the user's own, white text) links
    // keep the text colour and code gets a darker tint instead of the light one.
    readonly property bool onAccent: Qt.colorEqual(textColor, "white")
    property color linkColor: onAccent ? textColor : Theme.link
    property color codeBackground: onAccent ? Qt.rgba(0, 0, 0, 0.18) : Theme.codeBackground
    // A search's text, whose first match a plain text selects.
    property string highlight
    readonly property int matchRow: highlight ? blocks.rowOfMatch(highlight) : -1
    // Plain rows may be wider than the view, which fits the widest of their texts.
    property real rowWidth: width
    // The list this view scrolls in; without one every row is made.
    property Flickable viewport: null

    implicitHeight: column.implicitHeight
    // The widest row made so far, unwrapped, so a bubble can fit a short reply.
    implicitWidth: Math.ceil(widest)
    property real widest: 0

    // Moved within the viewport by something the rows cannot see.
    function placeShown() { column.placeShown() }

    MarkdownBlockModel {
        id: blocks
        plain: root.plain
        textColor: root.textColor
        linkColor: root.linkColor
        codeBackground: root.codeBackground
        darkCode: Theme.dark || root.onAccent
        highlightCode: !root.onAccent
        // A row that went may have been the widest; measure the ones left.
        property int lastCount: 0
        onCountChanged: {
            if (count < lastCount) {
                let widest = 0
                for (let row = 0; row < rows.count; ++row) {
                    const item = rows.itemAt(row)
                    if (item)
                        widest = Math.max(widest, item.implicitWidth)
                }
                root.widest = widest
            }
            lastCount = count
        }
    }

    FontMetrics {
        id: metrics
    }

    MarkdownRowBodies {
        id: rowBodies
    }

    LazyColumn {
        id: column
        width: root.width
        viewport: root.viewport

        RowRepeater {
            id: rows
            model: blocks
            plainDelegate: PlainRowView {
                required property int index
                body: rowBodies.plain
                width: root.rowWidth
                textColor: root.textColor
                lineHeight: metrics.height
                charWidth: metrics.averageCharacterWidth
                holdsMatch: index === root.matchRow
                highlight: root.highlight
                onImplicitWidthChanged: root.widest = Math.max(root.widest, implicitWidth)
            }
            delegate: MarkdownBlock {
                body: rowBodies.forKind(kind)
                decoration: rowBodies.decoration
                width: root.rowWidth
                textColor: root.textColor
                codeBackground: root.codeBackground
                codeFont: blocks.codeFont
                lineHeight: metrics.height
                charWidth: metrics.averageCharacterWidth
                onImplicitWidthChanged: root.widest = Math.max(root.widest, implicitWidth)
            }
        }
    }
}
