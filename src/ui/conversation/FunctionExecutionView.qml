pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common
import Vorbel.Ui.Conversation

// The function-call block of a message: what the call will do, then its
// result. Functions that run by themselves fold away under their name; the
// others show everything and wait for "Run function".
Rectangle {
    id: root
    required property ConversationViewController controller
    required property int row
    required property string preview
    // For a function the user confirms: exactly what runs, as plain text.
    required property string command
    required property string title
    required property bool automatic
    required property bool running
    required property bool awaitsConfirmation
    required property string resultText
    property color textColor: Theme.text
    // View state: made anew with the block, closed at first.
    property bool expand: false

    radius: 10
    color: Theme.codeBackground
    border.width: 1
    border.color: Theme.separator
    objectName: "functionBlock"
    Accessible.role: Accessible.Grouping
    Accessible.name: qsTr("Function call") + ": " + root.title
    implicitWidth: column.implicitWidth + 20
    implicitHeight: column.implicitHeight + 20

    ColumnLayout {
        id: column
        x: 10
        y: 10
        width: root.width - 20
        spacing: 8

        Button {
            objectName: "functionHeader"
            visible: root.automatic
            flat: true
            padding: 0
            Layout.fillWidth: true
            text: root.title
            Accessible.name: root.title
            Accessible.description: root.expand ? qsTr("Hide details") : qsTr("Show details")
            background: Item {}
            contentItem: RowLayout {
                spacing: 6
                Item {
                    visible: root.resultText.length === 0
                    implicitWidth: 20
                    implicitHeight: 20
                    BusyIndicator {
                        objectName: "functionBusyIndicator"
                        anchors.centerIn: parent
                        width: 16
                        height: 16
                        padding: 0
                        running: parent.visible
                    }
                }
                Label {
                    Layout.fillWidth: true
                    text: root.title
                    color: root.textColor
                    elide: Text.ElideRight
                }
                DisclosureArrow {
                    open: root.expand
                }
            }
            onClicked: root.expand = !root.expand
        }

        Rectangle {
            visible: root.automatic && root.expand
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.separator
        }

        Item {
            Layout.fillWidth: true
            // Hidden only once folded away: a hidden item's layout measures nothing.
            visible: !root.automatic || root.expand || implicitHeight > 0
            clip: true
            implicitHeight: !root.automatic || root.expand ? details.implicitHeight : 0
            implicitWidth: details.implicitWidth
            // Only opening and closing the group animates; a block that is
            // always open follows its content at once.
            Behavior on implicitHeight {
                enabled: root.automatic
                NumberAnimation { duration: 200; easing.type: Easing.InOutQuad }
            }

            ColumnLayout {
                id: details
                width: parent.width
                spacing: 8

                Label {
                    visible: root.command.length > 0
                    Layout.fillWidth: true
                    text: root.title
                    textFormat: Text.PlainText
                    color: root.textColor
                    font.bold: true
                    elide: Text.ElideRight
                }

                Rectangle {
                    visible: root.command.length > 0
                    Layout.fillWidth: true
                    implicitHeight: commandText.implicitHeight + 12
                    radius: 4
                    color: Theme.background
                    border.width: 1
                    border.color: Theme.separator

                    // Never Markdown or rich text: what shows here is what runs.
                    TextEdit {
                        id: commandText
                        objectName: "functionCommand"
                        x: 6
                        y: 6
                        width: parent.width - 12
                        readOnly: true
                        selectByMouse: true
                        textFormat: TextEdit.PlainText
                        wrapMode: TextEdit.WrapAnywhere
                        font.family: "monospace"
                        text: root.command
                        color: Theme.text
                        selectionColor: Theme.accent
                        selectedTextColor: "white"
                        Accessible.role: Accessible.StaticText
                        Accessible.name: qsTr("Command") + ": " + root.command
                    }
                }

                PlainMessageText {
                    objectName: "functionPreview"
                    maxWidth: details.width
                    markdown: root.preview
                    color: root.textColor
                    visible: root.preview.length > 0
                }

                // Running: the shape of a result, not yet its text.
                Column {
                    objectName: "functionPlaceholder"
                    visible: root.running
                    Layout.fillWidth: true
                    spacing: 6
                    Accessible.role: Accessible.Indicator
                    Accessible.name: qsTr("Running")
                    Repeater {
                        model: [0.3, 0.9, 0.6]
                        Rectangle {
                            required property real modelData
                            width: Math.max(40, details.width * modelData)
                            height: 12
                            radius: 4
                            color: Theme.separator
                            SequentialAnimation on opacity {
                                running: root.running
                                loops: Animation.Infinite
                                NumberAnimation { from: 1; to: 0.4; duration: 600 }
                                NumberAnimation { from: 0.4; to: 1; duration: 600 }
                            }
                        }
                    }
                }

                Button {
                    objectName: "runFunctionButton"
                    visible: root.awaitsConfirmation
                    text: qsTr("Run function")
                    icon.name: "media-playback-start"
                    icon.source: Theme.icon("media-playback-start")
                    icon.color: Theme.text
                    Accessible.name: text
                    onClicked: root.controller.runFunction(root.row)
                }

                PlainMessageText {
                    objectName: "functionResult"
                    maxWidth: details.width
                    visible: root.resultText.length > 0 && !root.running
                    markdown: root.resultText
                    color: root.textColor
                }
            }
        }
    }
}
