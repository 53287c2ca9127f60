// Qt 6.4 cannot load a bound component, and unbound, its qmllint takes the
// ids of this file for unqualified names inside the delegates.
// qmllint disable unqualified
import QtQuick
import QtQuick.Controls
import Vorbel.Ui.Common
import Vorbel.Ui.Markdown

// The selectable text of a bubble, a function preview or a result, in rows
// (see MarkdownMessage). Plain text shows inline Markdown only; text with a
// table row or a code fence is drawn block by block. The switch happens in
// place, on the piece that brings the first " | " or "```". A text too large
// to format is shown as written, in chunks, under a note.
Item {
    id: root
    property string markdown
    // Or an object whose `text` it shows, such as a list row's model: a long
    // streaming reply is then never copied into script (see MarkdownBlockModel).
    property QtObject textSource: null
    // What a screen reader says; a bubble gives the start of a long text.
    property string accessibleText: markdown
    // A bubble has it from its row; a function's text works it out here.
    property int rendering: MessageFormatting.renderingOf(markdown)
    property color color: Theme.text
    property color linkColor: Theme.link
    // The widest the text may be: plain text wraps there, block views fill it.
    property real maxWidth: 600
    // A search's text, whose first match is selected in plain text.
    property string highlight
    // The list the text scrolls in; only its rows near the viewport are made.
    property Flickable viewport: null
    readonly property bool oversized: rendering === MessageFormatting.Oversized

    // Taken from the text itself, never from the width a layout gave it, so
    // a bubble can shrink to a short text without a binding loop.
    implicitWidth: rendering === MessageFormatting.Plain ? Math.min(maxWidth, rowsView.implicitWidth) : maxWidth
    implicitHeight: rowsView.y + rowsView.implicitHeight
    Accessible.role: Accessible.StaticText
    Accessible.name: accessibleText

    // Moved within its list: the rows near the viewport are found again.
    function placeShown() { rowsView.placeShown() }

    Loader {
        id: note
        active: root.oversized
        sourceComponent: Label {
            objectName: "oversizedNote"
            width: root.maxWidth
            bottomPadding: 6
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
            text: qsTr("This message is too large to format, so it is shown as plain text.")
            color: Theme.alpha(root.color, 0.7)
            font.italic: true
        }
    }

    // Too large to format, the text is still drawn in rows: as written, in
    // chunks, of which only those near the viewport are laid out.
    MarkdownMessage {
        id: rowsView
        objectName: root.oversized ? "oversizedText" : root.rendering === MessageFormatting.Rich ? "markdownView" : "plainTextView"
        y: note.item ? (note.item as Item).implicitHeight : 0
        width: root.implicitWidth
        rowWidth: root.maxWidth
        text: root.markdown
        textSource: root.textSource
        plain: root.rendering === MessageFormatting.Plain
        written: root.oversized
        textColor: root.color
        linkColor: root.linkColor
        highlight: root.highlight
        viewport: root.viewport
    }
}
