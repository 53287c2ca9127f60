import QtQuick
import QtQuick.Controls
import Vorbel.Ui.Common
import Vorbel.Ui.MainWindow

// The new-conversation form: one card per assistant; a click starts a
// conversation with it.
Rectangle {
    id: root
    required property MainWindowController controller
    color: Theme.background

    ListView {
        id: cards
        objectName: "assistantCards"
        anchors.fill: parent
        topMargin: 24
        bottomMargin: 24
        spacing: 8
        clip: true
        model: root.controller.assistants
        ScrollBar.vertical: ScrollBar {}

        delegate: ItemDelegate {
            id: card
            required property int index
            required property var model
            objectName: "assistantCard_" + index
            width: 360
            x: (ListView.view.width - width) / 2
            padding: 12
            text: model.title
            Accessible.name: model.title
            Accessible.description: model.subtitle

            background: Rectangle {
                radius: 16
                color: Theme.assistantMessage
                border.width: card.visualFocus ? 2 : 0
                border.color: Theme.accent
                opacity: card.down ? 0.8 : 1
            }
            contentItem: ProfilePictureView {
                name: card.model.title
                url: card.model.profilePictureUrl
                subHeadline: card.model.subtitle
                subHeadlineColor: Theme.text
                alignTop: true
            }
            // Unbound, as Qt 6.4's ListView cannot make a bound footer; its
            // linter then misses the ids of this file in the delegates.
            onClicked: root.controller.startConversation(index) // qmllint disable unqualified
        }

        footer: Item {
            width: ListView.view.width
            height: link.implicitHeight + 24

            Button {
                id: link
                objectName: "addAssistantLink"
                anchors.centerIn: parent
                anchors.verticalCenterOffset: 6
                flat: true
                text: qsTr("Add your own assistant")
                Accessible.name: text
                contentItem: Label {
                    text: link.text
                    color: Theme.link
                    font.underline: link.hovered
                }
                background: Item {}
                onClicked: root.controller.openSettings() // qmllint disable unqualified
            }
        }
    }
}
