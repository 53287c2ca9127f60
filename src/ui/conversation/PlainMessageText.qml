// Qt 6.4 cannot load a bound component, and unbound, its qmllint takes the
// ids of this file for unqualified names inside the delegates.
// qmllint disable unqualified
import QtQuick
import QtQuick.Controls
import Vorbel.Ui.Common
import Vorbel.Ui.Markdown

// The selectable text of a bubble, a function preview or a result. Plain text
// shows inline Markdown only; text with a table row or a code fence is drawn
// block by block. The switch happens in place, on the piece that brings the
// first " | " or "```". A text too large to format is shown as written, in
// pieces, under a note.
Item {
    id: root
    property string markdown
    property color color: Theme.text
    property color linkColor: Theme.link
    // The widest the text may be: plain text wraps there, block views fill it.
    property real maxWidth: 600
    // A search's text, whose first match is selected in plain text.
    property string highlight
    readonly property bool oversized: MessageFormatting.isOversized(markdown)
    readonly property bool rich: !oversized && MessageFormatting.needsRichRendering(markdown)

    // Taken from the text itself, never from the width a layout gave it, so
    // a bubble can shrink to a short text without a binding loop.
    implicitWidth: rich || oversized ? maxWidth : loader.item ? (loader.item as Item).width : 0
    implicitHeight: loader.item ? (loader.item as Item).implicitHeight : 0
    Accessible.role: Accessible.StaticText
    Accessible.name: markdown

    Loader {
        id: loader
        sourceComponent: root.oversized ? chunkedText : root.rich ? richText : plainText
    }

    Component {
        id: richText
        MarkdownMessage {
            objectName: "markdownView"
            width: root.maxWidth
            text: root.markdown
            textColor: root.color
        }
    }

    Component {
        id: plainText
        SelectableRichText {
            id: plain
            objectName: "plainText"
            width: Math.min(implicitWidth, root.maxWidth)
            text: MessageFormatting.plainHtml(root.markdown, root.color, root.linkColor)
            color: root.color

            function markMatch() {
                // A list of two numbers, which Qt 6.4's qmllint reads as one.
                const match = MessageFormatting.searchMatch(getText(0, length), root.highlight)
                if (match.length === 2) // qmllint disable type
                    select(match[0], match[0] + match[1])
            }
            Component.onCompleted: if (root.highlight) markMatch()
            Connections {
                target: root
                function onHighlightChanged() { if (root.highlight) plain.markMatch() }
            }
        }
    }

    Component {
        id: chunkedText
        Column {
            objectName: "oversizedText"
            width: root.maxWidth
            spacing: 0

            Label {
                objectName: "oversizedNote"
                width: parent.width
                bottomPadding: 6
                wrapMode: Text.Wrap
                textFormat: Text.PlainText
                text: qsTr("This message is too large to format, so it is shown as plain text.")
                color: Qt.rgba(root.color.r, root.color.g, root.color.b, 0.7)
                font.italic: true
            }
            Repeater {
                model: GradualListModel {
                    batch: 1
                    values: TextChunks.shownChunks(root.markdown)
                }
                TextEdit {
                    required property string value
                    objectName: "oversizedChunk"
                    width: root.maxWidth
                    readOnly: true
                    selectByMouse: true
                    wrapMode: TextEdit.Wrap
                    textFormat: TextEdit.PlainText
                    text: value
                    color: root.color
                    selectionColor: Theme.accent
                    selectedTextColor: "white"
                    activeFocusOnTab: false
                }
            }
        }
    }
}
