// Qt 6.4 cannot load a bound component, and unbound, its qmllint takes the
// ids of this file for unqualified names inside the delegates.
// qmllint disable unqualified
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common
import Vorbel.Ui.Conversation

// One row of the message list: the bubble, pushed to the trailing side for the
// user's own messages, with a reasoning model's thinking above its text, the
// function-call block under it, and what the reply cost under the bubble.
Item {
    id: root
    required property int index
    required property var model
    // The list it is a row of, which holds the column, the controller and the revealed row.
    readonly property var list: ListView.view // the MessageList, with its own properties
    readonly property ConversationViewController controller: list ? list.controller : null
    readonly property real columnWidth: list ? list.columnWidth : width
    x: list ? (list.width - columnWidth) / 2 : 0
    width: columnWidth

    // A prompt of the user's own, set by the list's choice of delegate.
    property bool own: false
    readonly property bool bubbleless: model.kind === MessageRowsModel.FunctionCall
    readonly property color textColor: own ? "white" : Theme.text
    readonly property real maxBubbleWidth: Math.max(120, columnWidth * 0.75)

    // Whether the keyboard is anywhere in this row.
    readonly property bool focusWithin: {
        for (let item = Window.activeFocusItem; item; item = item.parent) {
            if (item === root)
                return true
        }
        return false
    }

    // The newest reply (or failure notice) may be asked for again.
    readonly property bool offersRegenerate: !own && index === list.count - 1 && controller.canRegenerate
    // Set while a search hit is shown in this message, with the search's text.
    readonly property bool revealed: list !== null && index === list.revealedRow
    readonly property string revealedText: list ? list.revealedText : ""

    objectName: "message_" + index
    // Shift+F10 or the Menu key, from the text of the message that has the keyboard.
    Keys.onPressed: event => {
        if (event.key === Qt.Key_Menu || (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier))) {
            event.accepted = true
            root.openMenu().popup(bubble, bubble.width / 4, Math.min(bubble.height / 2, 40))
        }
    }
    // The usage line and the button have their room even while hidden, so hovering moves nothing.
    implicitHeight: bubble.height + Math.max(usageLine.text.length > 0 ? usageLine.implicitHeight + 4 : 0,
                                             regenerate.item ? (regenerate.item as Item).implicitHeight + 4 : 0)

    // The menu and the button are made when wanted: a long conversation makes
    // a bubble for every message scrolled past, and most never need either.
    function openMenu(): Menu {
        menu.active = true
        return menu.item as Menu
    }

    // The list uses a bubble scrolled out of view again for a row coming in.
    ListView.onPooled: menu.active = false
    // Moved within the list, as a bubble used again is: its rows near the view change.
    onYChanged: messageText.placeShown()

    HoverHandler {
        id: hover
    }

    Rectangle {
        id: bubble
        objectName: "bubble"
        readonly property real padding: root.bubbleless ? 0 : 10
        anchors.right: root.own ? parent.right : undefined
        anchors.left: root.own ? undefined : parent.left
        width: Math.min(root.maxBubbleWidth, Math.max(content.implicitWidth, 24) + 2 * padding)
        height: content.implicitHeight + 2 * padding
        radius: 16
        color: root.bubbleless ? "transparent" : root.own ? Theme.ownMessage : Theme.assistantMessage
        border.width: root.revealed ? 2 : 0
        border.color: Theme.accent
        // Who wrote it, then what: a screen reader's list of bubbles reads like the conversation.
        Accessible.role: Accessible.ListItem
        Accessible.name: (root.own ? qsTr("You") : root.controller.assistantName)
                         + (root.model.accessibleText.length > 0 ? ": " + root.model.accessibleText : "")

        ColumnLayout {
            id: content
            x: bubble.padding
            y: bubble.padding
            width: bubble.width - 2 * bubble.padding
            spacing: 8

            Loader {
                active: root.model.hasThinking
                visible: active
                sourceComponent: ThinkingBlock {
                    objectName: "thinkingBlock"
                    label: root.model.thinkingLabel
                    thinking: root.model.thinking
                    active: root.model.thinkingActive
                    unfolded: root.model.thinkingUnfolded
                    maxWidth: root.maxBubbleWidth - 2 * bubble.padding
                    onToggled: root.model.thinkingUnfolded = !root.model.thinkingUnfolded
                }
            }
            PlainMessageText {
                id: messageText
                objectName: "messageText"
                visible: root.model.accessibleText.length > 0
                Accessible.description: root.model.usageText
                maxWidth: root.maxBubbleWidth - 2 * bubble.padding
                // The row's text itself, which never passes through script.
                textSource: root.model
                accessibleText: root.model.accessibleText
                rendering: root.model.rendering
                viewport: root.list
                highlight: root.revealed ? root.revealedText : ""
                color: root.textColor
                linkColor: root.own ? "white" : Theme.link
            }
            Label {
                objectName: "messagePlaceholder"
                visible: root.model.showsPlaceholder
                text: "..."
                color: root.textColor
            }
            Loader {
                active: root.model.hasFunction
                visible: active
                Layout.fillWidth: true
                Layout.preferredWidth: root.maxBubbleWidth - 2 * bubble.padding
                sourceComponent: FunctionExecutionView {
                    controller: root.controller
                    row: root.index
                    preview: root.model.functionPreview
                    command: root.model.functionCommand
                    title: root.model.functionTitle
                    automatic: root.model.functionIsAutomatic
                    running: root.model.functionRunning
                    awaitsConfirmation: root.model.awaitsConfirmation
                    resultText: root.model.functionResultText
                    textColor: root.own ? "white" : Theme.text
                }
            }
        }

        // Only the right button: the left one selects text and presses buttons.
        TapHandler {
            acceptedButtons: Qt.RightButton
            onTapped: root.openMenu().popup()
        }

        Loader {
            id: menu
            active: false
            sourceComponent: Menu {
                objectName: "messageContextMenu"
                MenuItem {
                    objectName: "copyMessageItem"
                    text: qsTr("Copy")
                    Accessible.name: text
                    onTriggered: Clipboard.copy(root.model.text)
                }
                MenuItem {
                    objectName: "editMessageItem"
                    visible: root.own
                    height: visible ? implicitHeight : 0
                    enabled: !root.controller.streaming
                    text: qsTr("Edit")
                    Accessible.name: text
                    onTriggered: root.controller.beginEdit(root.index)
                }
            }
        }
    }

    Label {
        id: usageLine
        objectName: "usageLine"
        anchors.top: bubble.bottom
        anchors.topMargin: 4
        anchors.left: bubble.left
        anchors.leftMargin: 10
        text: root.own ? "" : root.model.usageText
        visible: text.length > 0 && (hover.hovered || root.focusWithin)
        color: Theme.secondaryText
        font.pointSize: Theme.fontSize
        Accessible.ignored: true // the reply's own description says it
    }

    Loader {
        id: regenerate
        anchors.top: bubble.bottom
        anchors.topMargin: 2
        anchors.left: usageLine.visible ? usageLine.right : bubble.left
        anchors.leftMargin: usageLine.visible ? 8 : 4
        active: root.offersRegenerate
        sourceComponent: ToolButton {
            objectName: "regenerateButton"
            readonly property bool isRetry: root.controller.regenerateLabel !== qsTr("Regenerate")
            // Hidden yet reachable by Tab: it shows on hover and on focus; a failure always offers it.
            opacity: isRetry || hover.hovered || root.focusWithin ? 1 : 0
            text: root.controller.regenerateLabel
            display: AbstractButton.TextBesideIcon
            icon.name: "view-refresh"
            icon.source: Theme.icon("view-refresh")
            icon.color: Theme.secondaryText
            icon.width: 16
            icon.height: 16
            font.pointSize: Theme.fontSize
            padding: 4
            Accessible.name: text
            onClicked: root.controller.regenerate()
        }
    }
}
