pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Controls.impl
import QtQuick.Controls.Fusion.impl
import Vorbel.Ui.Common

// The clipboard button beside a code block or table; `text` is its label and
// accessible name. After a click it says "Copied" for a moment.
// Its icon is a bare image and its panel is made only while it shows: a
// streamed reply makes a button for each code block and table, and the
// style's own parts cost more to make than the code's text.
IconToolButton {
    id: button
    property string copyText
    property color iconColor
    property bool copied: false

    padding: 4
    icon.name: copied ? "" : "edit-copy"
    icon.source: copied ? Theme.icon("copy-done") : Theme.icon("edit-copy")
    icon.color: iconColor
    icon.width: 16
    icon.height: 16
    ToolTip.visible: hovered || copied
    ToolTip.text: copied ? qsTr("Copied") : text
    ToolTip.delay: copied ? 0 : 400

    contentItem: IconImage {
        name: button.icon.name
        source: button.icon.source
        color: button.icon.color
        sourceSize.width: button.icon.width
        sourceSize.height: button.icon.height
    }
    background: Loader {
        active: button.down || button.visualFocus || (button.enabled && button.hovered)
        sourceComponent: ButtonPanel {
            implicitWidth: 20
            implicitHeight: 20
            control: button
        }
    }

    onClicked: {
        Clipboard.copy(copyText)
        copied = true
        copiedTimer.restart()
    }

    Timer {
        id: copiedTimer
        interval: 1500
        onTriggered: button.copied = false
    }
}
