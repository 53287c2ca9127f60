import QtQuick
import QtQuick.Controls

// A tooltip that shows its text as written, never as markup: the text may
// come from a reply (alternative text, a link address).
ToolTip {
    id: tip
    contentItem: Text {
        text: tip.text
        textFormat: Text.PlainText
        font: tip.font
        wrapMode: Text.Wrap
        color: tip.palette.toolTipText
    }
}
