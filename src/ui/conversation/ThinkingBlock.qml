import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common

// A reasoning model's thinking above its answer: folded under one line that
// says how the thinking went, unfolded by a press (or Return or Space) into
// the thinking as plain text. The model wrote it, so nothing in it is read as
// markup.
ColumnLayout {
    id: root
    required property string label
    required property string thinking
    required property bool active   // the thinking is streaming now
    required property bool unfolded
    property real maxWidth: 600
    signal toggled()

    spacing: 6

    Button {
        id: header
        objectName: "thinkingHeader"
        flat: true
        padding: 0
        text: root.label
        Accessible.name: root.label
        Accessible.description: root.unfolded ? qsTr("Hide thinking") : qsTr("Show thinking")
        focusPolicy: Qt.StrongFocus
        background: Item {}
        contentItem: RowLayout {
            spacing: 6
            BusyIndicator {
                objectName: "thinkingBusyIndicator"
                visible: root.active
                running: root.active
                Layout.preferredWidth: 16
                Layout.preferredHeight: 16
                padding: 0
            }
            Label {
                objectName: "thinkingLabel"
                text: root.label
                color: Theme.secondaryText
                font.pointSize: Theme.fontSize
                font.underline: header.visualFocus
            }
            DisclosureArrow {
                open: root.unfolded
                font.pointSize: Theme.fontSize
            }
        }
        onClicked: root.toggled()
        Keys.onReturnPressed: root.toggled()
        Keys.onEnterPressed: root.toggled()
    }

    Text {
        objectName: "thinkingText"
        visible: root.unfolded
        Layout.preferredWidth: Math.min(root.maxWidth, implicitWidth)
        Layout.maximumWidth: root.maxWidth
        text: root.thinking
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        color: Theme.secondaryText
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
}
