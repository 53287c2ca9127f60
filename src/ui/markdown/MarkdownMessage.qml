pragma ComponentBehavior: Bound
import QtQuick
import Vorbel.Ui.Common
import Vorbel.Ui.Markdown

// A message text drawn as Markdown, for a bubble: lays out to `width`, grows
// to `implicitHeight`. Each row is one block (quotes and lists are flattened
// into the blocks they hold); while a reply streams only the rows of the
// blocks that changed are laid out again.
Item {
    id: root

    // The whole message text; it may grow piece by piece.
    property string text
    // The bubble's text colour; everything is drawn in it.
    property color textColor: Theme.text
    // On a bubble in the accent colour (the user's own, white text) links
    // keep the text colour and code gets a darker tint instead of the light one.
    readonly property bool onAccent: Qt.colorEqual(textColor, "white")
    property color linkColor: onAccent ? textColor : Theme.link
    property color codeBackground: onAccent ? Qt.rgba(0, 0, 0, 0.18) : Theme.codeBackground

    implicitHeight: column.implicitHeight
    // The widest row unwrapped, so a bubble can fit a short reply.
    implicitWidth: {
        let widest = 0
        for (let row = 0; row < rows.count; ++row) {
            const item = rows.itemAt(row)
            if (item)
                widest = Math.max(widest, item.implicitWidth)
        }
        return Math.ceil(widest)
    }

    MarkdownBlockModel {
        id: blocks
        text: root.text
        textColor: root.textColor
        linkColor: root.linkColor
        codeBackground: root.codeBackground
        darkCode: Theme.dark || root.onAccent
        highlightCode: !root.onAccent
    }

    Column {
        id: column
        width: root.width

        Repeater {
            id: rows
            model: blocks
            delegate: MarkdownBlock {
                width: column.width
                textColor: root.textColor
                codeBackground: root.codeBackground
                codeFont: blocks.codeFont
            }
        }
    }
}
