pragma ComponentBehavior: Bound
import QtQuick
import Vorbel.Ui.Common

// A code block: monospace on a tinted background, long lines scroll sideways,
// the fence's language small above the code, "Copy code" to its right.
Item {
    id: block
    property string html
    property string language
    property string copyText
    property color textColor
    property color background
    property font codeFont

    readonly property int padding: 10
    implicitWidth: code.implicitWidth + 2 * padding + 4 + copyButton.implicitWidth
    implicitHeight: Math.max(box.height, copyButton.implicitHeight)

    Rectangle {
        id: box
        width: block.width - copyButton.width - 4
        height: frame.y + frame.height + block.padding
        radius: 6
        color: block.background

        Text {
            id: languageLabel
            visible: block.language !== ""
            x: block.padding
            y: 6
            text: block.language
            textFormat: Text.PlainText
            color: Theme.alpha(block.textColor, 0.6)
            font.pointSize: Math.max(1, block.codeFont.pointSize - 1)
        }

        SidewaysFlickable {
            id: frame
            x: block.padding
            y: languageLabel.visible ? languageLabel.y + languageLabel.height + 4 : block.padding
            width: box.width - 2 * block.padding
            height: code.implicitHeight + (scrolls ? 10 : 0)
            contentWidth: code.implicitWidth
            contentHeight: code.implicitHeight

            SelectableRichText {
                id: code
                objectName: "codeText"
                html: block.html
                color: block.textColor
                font: block.codeFont
                wrapMode: TextEdit.NoWrap
            }
        }
    }

    MarkdownCopyButton {
        id: copyButton
        objectName: "copyCodeButton"
        anchors.right: parent.right
        anchors.top: parent.top
        text: qsTr("Copy code")
        copyText: block.copyText
        iconColor: block.textColor
    }
}
