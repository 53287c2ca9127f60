import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common

// The details of one tool server in the extensions tab: whether calls are
// asked about, its status, its tools, the end of its log and its actions.
ColumnLayout {
    id: details
    required property var server
    signal askToggled(bool ask)
    signal reconnectClicked()
    signal removeClicked()

    spacing: 8

    CheckBox {
        objectName: "askBeforeCallCheckBox"
        text: qsTr("Ask before each call")
        checked: details.server.askBeforeCall ?? true
        Accessible.name: text
        onToggled: details.askToggled(checked)
    }
    Label {
        objectName: "toolServerStatus"
        Layout.fillWidth: true
        text: details.server.status ?? ""
        textFormat: Text.PlainText
        color: details.server.failed === true ? Theme.error : Theme.text
        wrapMode: Text.Wrap
        Accessible.name: qsTr("Status: %1").arg(text)
    }

    Label {
        Layout.topMargin: 4
        text: qsTr("Tools")
        font.bold: true
        color: Theme.text
        visible: toolRepeater.count > 0
    }
    Repeater {
        id: toolRepeater
        model: details.server.tools ?? []
        delegate: Column {
            id: tool
            required property var modelData
            Layout.fillWidth: true
            spacing: 1
            Label {
                width: parent.width
                text: tool.modelData.name
                textFormat: Text.PlainText
                font.family: "monospace"
                color: Theme.text
                elide: Text.ElideRight
            }
            Label {
                width: parent.width
                text: tool.modelData.description
                textFormat: Text.PlainText
                font.pointSize: Theme.fontSize
                color: Theme.secondaryText
                wrapMode: Text.Wrap
                maximumLineCount: 3
                elide: Text.ElideRight
            }
        }
    }

    Label {
        Layout.topMargin: 4
        text: qsTr("Standard error")
        font.bold: true
        color: Theme.text
    }
    ScrollView {
        Layout.fillWidth: true
        Layout.preferredHeight: 140
        TextArea {
            objectName: "toolServerLog"
            readOnly: true
            text: details.server.log ?? ""
            textFormat: TextEdit.PlainText
            font.family: "monospace"
            font.pointSize: Theme.fontSize
            wrapMode: TextEdit.Wrap
            placeholderText: qsTr("Nothing written yet")
            Accessible.name: qsTr("Standard error")
            background: Rectangle {
                color: Theme.sidebar
                border.color: Theme.separator
            }
        }
    }

    RowLayout {
        spacing: 8
        Button {
            objectName: "reconnectButton"
            text: qsTr("Reconnect")
            Accessible.name: text
            onClicked: details.reconnectClicked()
        }
        Button {
            objectName: "removeToolServerButton"
            text: qsTr("Remove")
            Accessible.name: text
            onClicked: details.removeClicked()
        }
    }
}
