import QtQuick
import QtQuick.Controls
import Qt.labs.qmlmodels
import Vorbel.Ui.Common
import Vorbel.Ui.Conversation

// The conversation's messages, oldest first. It keeps the newest text in view
// while it follows; a reader who scrolls up is left where they are, with a
// button to jump back to the newest.
Item {
    id: root
    required property ConversationViewController controller

    // A page back (-1) or forward (1), as the keyboard's PageUp and PageDown do.
    function scrollPage(direction) {
        // A glide towards the end still running would carry the view back.
        glide.stop()
        list.following = false
        const top = list.originY - list.topMargin
        const bottom = Math.max(top, list.originY + list.contentHeight + list.bottomMargin - list.height)
        list.contentY = Math.max(top, Math.min(bottom, list.contentY + direction * list.height * 0.9))
        list.following = list.atYEnd
    }
    // The first message, or the newest (which the view then follows).
    function scrollToEnd(newest) {
        if (newest) {
            list.resumeFollowing()
            return
        }
        glide.stop()
        list.following = false
        list.positionViewAtBeginning()
    }

    ListView {
        id: list
        anchors.fill: parent
        property ConversationViewController controller: root.controller
        // Follows the end until the user scrolls away from it.
        property bool following: true
        readonly property real columnWidth: Math.min(width - 32, 820)

        objectName: "messageList"
        clip: true
        spacing: 8
        topMargin: 16
        bottomMargin: 16
        boundsBehavior: Flickable.StopAtBounds
        model: controller.messages
        // Flicking through a long conversation takes bubbles from a pool
        // rather than making one for every message that scrolls past.
        reuseItems: true
        Accessible.role: Accessible.List
        Accessible.name: qsTr("Messages")
        ScrollBar.vertical: ScrollBar {
            id: scrollBar
            onPressedChanged: list.userScrolled(pressed)
        }

        // The message a search hit opened, marked until another conversation shows.
        property int revealedRow: -1
        property string revealedText

        // The user's prompts sit on the trailing side in the accent colour; the rest lead.
        delegate: DelegateChooser {
            role: "kind"
            DelegateChoice {
                roleValue: MessageRowsModel.Prompt
                MessageBubble { own: true }
            }
            DelegateChoice {
                MessageBubble {}
            }
        }

        function userScrolled(active) {
            if (active)
                following = false
            else
                following = atYEnd
        }

        // Short distances jump, longer ones glide: a stream of small pieces must
        // not restart an animation each time.
        function endY() { return Math.max(originY - topMargin, originY + contentHeight + bottomMargin - height) }
        // The last row laid out at the bottom, then the margin under it shown too,
        // where a glide towards the end stops.
        function toEnd() {
            positionViewAtEnd()
            contentY = endY()
        }
        function followEnd(animated) {
            const target = endY()
            if (!animated || Math.abs(target - contentY) < 24 || glide.running) {
                glide.stop()
                toEnd()
                return
            }
            glide.to = target
            glide.start()
        }

        function resumeFollowing() {
            following = true
            followEnd(true)
        }

        NumberAnimation {
            id: glide
            target: list
            property: "contentY"
            duration: 200
            easing.type: Easing.InOutQuad
            onFinished: list.toEnd()
        }

        onMovementStarted: following = false
        onMovementEnded: following = atYEnd
        onContentHeightChanged: if (following) followEnd(true)
        onCountChanged: if (following) followEnd(true)
        onModelChanged: {
            revealedRow = -1
            following = true
            Qt.callLater(() => list.followEnd(false)) // qmllint disable type
            // the first show lands at the bottom at once
        }
        Component.onCompleted: Qt.callLater(() => list.followEnd(false)) // qmllint disable type

        Connections {
            target: list.controller
            function onPromptSubmitted() { list.resumeFollowing() }
            function onRevealRequested(row, searchText) {
                list.following = false
                list.revealedText = searchText
                list.revealedRow = row
                Qt.callLater(() => list.positionViewAtIndex(list.revealedRow, ListView.Center)) // qmllint disable type
            }
        }
    }

    RoundButton {
        objectName: "jumpToNewestButton"
        visible: !list.following && !list.atYEnd
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 16
        text: qsTr("Jump to Newest")
        display: AbstractButton.IconOnly
        icon.name: "go-down"
        icon.source: Theme.icon("go-down")
        icon.color: Theme.text
        ToolTip.text: text
        ToolTip.visible: hovered
        Accessible.name: text
        onClicked: list.resumeFollowing()
    }
}
