import QtQuick
import QtQuick.Controls
import Vorbel.Ui

// Selectable rich text of one Markdown block. A link shows the pointing hand
// and its address, and opens only through ExternalLinks (web and mail).
TextEdit {
    id: edit
    objectName: "markdownText"
    readOnly: true
    selectByMouse: true
    textFormat: TextEdit.RichText
    wrapMode: TextEdit.Wrap
    selectionColor: Theme.accent
    selectedTextColor: "white"
    // Takes the keyboard when clicked, so that Ctrl+C copies what is selected here.
    activeFocusOnPress: true
    activeFocusOnTab: false
    selectByKeyboard: true

    onLinkActivated: link => ExternalLinks.open(link)

    HoverHandler {
        cursorShape: edit.hoveredLink !== "" ? Qt.PointingHandCursor : Qt.IBeamCursor
    }

    // The attached tooltip is made once for all texts, and an address here is
    // always percent-encoded, so it holds no markup.
    ToolTip.visible: hoveredLink !== ""
    ToolTip.text: hoveredLink
    ToolTip.delay: 400
}
