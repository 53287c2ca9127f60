pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import Vorbel.Ui.Common
import Vorbel.Ui.Markdown

// Selectable rich text of one Markdown block, from `html`. A link shows the pointing hand
// and its address, and opens only through ExternalLinks (web and mail). The
// keyboard reaches a text that has links with Tab, then steps through them
// with Tab and Shift+Tab (each one selected), and opens the selected one with
// Return; past the last link Tab moves on.
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
    activeFocusOnTab: html.indexOf("href=") >= 0
    selectByKeyboard: true

    // The text's markup. Read from here, not from `text`: a rich text's `text`
    // is written anew from its document on each read.
    property string html
    text: html

    property int linkIndex: -1
    // The selected link, while the selection is still exactly its text.
    function selectedLink(links) {
        const link = links[linkIndex]
        return link && selectionStart === link.start && selectionEnd === link.end ? link : undefined
    }
    // Selects the link `step` away from the selected one; false past either end.
    function stepLink(step) {
        const links = MessageFormatting.linkRanges(textDocument)
        const next = !selectedLink(links) ? (step > 0 ? 0 : links.length - 1) : linkIndex + step
        if (next < 0 || next >= links.length) {
            linkIndex = -1
            deselect()
            return false
        }
        linkIndex = next
        select(links[next].start, links[next].end)
        return true
    }
    Keys.onTabPressed: event => event.accepted = stepLink(1)
    Keys.onBacktabPressed: event => event.accepted = stepLink(-1)
    Keys.onReturnPressed: event => {
        // A selection made with the mouse since opens nothing.
        const link = selectedLink(MessageFormatting.linkRanges(textDocument))
        if (link) {
            ExternalLinks.open(link.href)
            event.accepted = true
        }
    }

    onLinkActivated: link => ExternalLinks.open(link)

    HoverHandler {
        cursorShape: edit.hoveredLink !== "" ? Qt.PointingHandCursor : Qt.IBeamCursor
    }

    // The attached tooltip is made once for all texts, and an address here is
    // always percent-encoded, so it holds no markup. Shown from the handler,
    // so that a text is not given its attached part until a link is hovered.
    onLinkHovered: link => {
        if (link !== "") {
            ToolTip.delay = 400
            ToolTip.show(link)
        } else {
            ToolTip.hide()
        }
    }
}
