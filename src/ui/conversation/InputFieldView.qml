import QtQuick
import QtQuick.Controls
import Vorbel.Ui.Common

// The prompt field. Return submits whatever is typed (even nothing) and
// empties the field; Shift+Return starts a new line. It grows with the text
// up to maxHeight and scrolls beyond. The keys that move through a
// conversation (PageUp, PageDown, Ctrl+Home, Ctrl+End) are passed on.
Rectangle {
    id: root
    property real maxHeight: 200
    // An own message is being edited: Escape gives it up.
    property bool editing: false
    property alias text: field.text
    signal submitted(string prompt)
    // Up in an empty field, and Escape while editing.
    signal editNewestRequested()
    signal editCancelled()
    // -1 or 1: a page back or forward.
    signal pageRequested(int direction)
    // false: the first message; true: the newest.
    signal endRequested(bool newest)

    function focusField() { field.forceActiveFocus() }
    // Through the field's own methods: an assignment would cut the text's binding.
    function replaceText(text) {
        field.clear()
        field.insert(0, text)
    }
    // The field takes the keyboard a moment later, once the window has settled.
    function focusSoon() {
        focusLater.restart()
    }

    implicitHeight: Math.min(Math.max(field.implicitHeight, 36), maxHeight)
    radius: 10
    color: Theme.background
    border.width: 1
    border.color: field.activeFocus ? Theme.accent : Theme.separator

    ScrollView {
        id: scroll
        anchors.fill: parent
        anchors.margins: 1
        ScrollBar.horizontal.policy: ScrollBar.AlwaysOff

        TextArea {
            id: field
            objectName: "promptField"
            placeholderText: qsTr("Message")
            placeholderTextColor: Theme.secondaryText
            color: Theme.text
            selectionColor: Theme.accent
            selectedTextColor: "white"
            wrapMode: TextEdit.Wrap
            padding: 10
            background: null
            Accessible.name: qsTr("Message")

            Keys.onPressed: event => {
                if (event.key === Qt.Key_Up && field.length === 0 && !root.editing) {
                    root.editNewestRequested()
                    field.cursorPosition = field.length
                    event.accepted = true
                    return
                }
                if (event.key === Qt.Key_Escape && root.editing) {
                    root.editCancelled()
                    event.accepted = true
                    return
                }
                if (event.key === Qt.Key_PageUp || event.key === Qt.Key_PageDown) {
                    event.accepted = true
                    root.pageRequested(event.key === Qt.Key_PageUp ? -1 : 1)
                    return
                }
                if ((event.key === Qt.Key_Home || event.key === Qt.Key_End) && (event.modifiers & Qt.ControlModifier)) {
                    event.accepted = true
                    root.endRequested(event.key === Qt.Key_End)
                    return
                }
                if (event.key !== Qt.Key_Return && event.key !== Qt.Key_Enter)
                    return
                event.accepted = true
                if (event.modifiers & Qt.ShiftModifier) {
                    field.insert(field.cursorPosition, "\n")
                    return
                }
                const prompt = field.text
                root.submitted(prompt)
                field.clear()
            }
        }
    }

    Timer {
        id: focusLater
        interval: 100
        // Unless the user has meanwhile gone to another text field (the search, say).
        onTriggered: {
            if (!root.visible || !root.enabled)
                return
            const current = root.Window.activeFocusItem
            if (!current || current === field || current.cursorPosition === undefined)
                field.forceActiveFocus()
        }
    }
    onVisibleChanged: if (visible) focusSoon()
    Component.onCompleted: if (visible) focusSoon()
}
