import QtQuick
import QtQuick.Controls
import Vorbel.Ui

// The selectable text of a bubble, a function preview or a result. Plain text
// shows inline Markdown only; text with a table row or a code fence is drawn
// as it was typed until the block views take it.
TextEdit {
    id: root
    property string markdown
    property color linkColor: Theme.accent
    readonly property bool rich: MessageFormatting.needsRichRendering(markdown)

    readOnly: true
    selectByMouse: true
    persistentSelection: false
    wrapMode: TextEdit.Wrap
    textFormat: rich ? TextEdit.PlainText : TextEdit.RichText
    text: rich ? markdown : MessageFormatting.plainHtml(markdown, linkColor)
    selectionColor: Theme.accent
    selectedTextColor: "white"
    activeFocusOnTab: false
    Accessible.role: Accessible.StaticText
    Accessible.name: markdown

    onLinkActivated: link => ExternalLinks.open(link)

    HoverHandler {
        cursorShape: root.hoveredLink ? Qt.PointingHandCursor : Qt.IBeamCursor
    }
    ToolTip.visible: root.hoveredLink.length > 0
    ToolTip.text: root.hoveredLink
    ToolTip.delay: 500
}
