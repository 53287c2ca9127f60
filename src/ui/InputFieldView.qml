import QtQuick
import QtQuick.Controls
import Vorbel.Ui

// The prompt field. Return submits whatever is typed (even nothing) and
// empties the field; Shift+Return starts a new line. It grows with the text
// up to maxHeight and scrolls beyond. The keys that move through a
// conversation (PageUp, PageDown, Ctrl+Home, Ctrl+End) are passed on.
Rectangle {
    id: root
    property real maxHeight: 200
    property alias text: field.text
    signal submitted(string prompt)
    // -1 or 1: a page back or forward.
    signal pageRequested(int direction)
    // false: the first message; true: the newest.
    signal endRequested(bool newest)

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
        onTriggered: if (root.visible && root.enabled) field.forceActiveFocus()
    }
    onVisibleChanged: if (visible) focusSoon()
    Component.onCompleted: if (visible) focusSoon()
}
