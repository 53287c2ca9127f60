import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common
import Vorbel.Ui.Settings

// The form of an assistant, new or existing: name, prompt and picture address.
// Its button stays disabled, with the reason beside it, until the editor
// accepts the texts.
ColumnLayout {
    id: form
    required property AssistantEditorController editor
    required property string prefix // names the controls for tests: "add" or "update"
    required property string title
    required property string buttonText
    property string faqAddress
    property alias name: nameField.text
    property alias personality: promptField.text
    property alias pictureUrl: pictureField.text
    readonly property string problem: editor.validationMessage(name, personality, pictureUrl)
    signal submitted()

    function fill(name, personality, pictureUrl) {
        nameField.text = name
        promptField.text = personality
        pictureField.text = pictureUrl
    }

    spacing: 8

    Label {
        objectName: form.prefix + "FormTitle"
        Layout.fillWidth: true
        text: form.title
        textFormat: Text.PlainText
        font.bold: true
        font.pointSize: Theme.fontSize * 4 / 3
        color: Theme.text
        elide: Text.ElideRight
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }
    Rectangle {
        Layout.fillWidth: true
        implicitHeight: 1
        color: Theme.separator
    }

    GridLayout {
        Layout.fillWidth: true
        Layout.topMargin: 4
        columns: 2
        columnSpacing: 8
        rowSpacing: 8

        Label {
            text: qsTr("Name")
            color: Theme.text
            Layout.alignment: Qt.AlignRight
        }
        TextField {
            id: nameField
            objectName: form.prefix + "NameField"
            Layout.fillWidth: true
            Accessible.name: qsTr("Name")
        }

        Label {
            text: qsTr("Prompt")
            color: Theme.text
            Layout.alignment: Qt.AlignRight | Qt.AlignTop
            Layout.topMargin: 6
        }
        ScrollView {
            Layout.fillWidth: true
            Layout.preferredWidth: 0
            Layout.preferredHeight: 120
            background: Rectangle {
                color: promptField.palette.base
                border.color: promptField.activeFocus ? Theme.accent : Qt.darker(promptField.palette.window, 1.4)
                radius: 2
            }
            TextArea {
                id: promptField
                objectName: form.prefix + "PromptField"
                placeholderText: qsTr("You are Jane, a helpful assistant")
                wrapMode: TextEdit.Wrap
                Accessible.name: qsTr("Prompt")
                // Tab moves on, as in every other field of the window.
                Keys.onTabPressed: nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason)
                Keys.onBacktabPressed: nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason)
            }
        }

        Label {
            text: qsTr("Picture URL")
            color: Theme.text
            Layout.alignment: Qt.AlignRight
        }
        TextField {
            id: pictureField
            objectName: form.prefix + "PictureField"
            Layout.fillWidth: true
            placeholderText: "https://"
            inputMethodHints: Qt.ImhUrlCharactersOnly
            Accessible.name: qsTr("Picture URL")
        }
    }

    RowLayout {
        Layout.fillWidth: true
        Layout.topMargin: 4
        spacing: 12

        Button {
            objectName: form.prefix + "SubmitButton"
            text: form.buttonText
            enabled: form.problem === ""
            // The style's disabled look is hard to tell apart on the dark background.
            opacity: enabled ? 1 : 0.5
            Accessible.name: text
            Accessible.description: form.problem
            onClicked: form.submitted()
        }
        Label {
            objectName: form.prefix + "Problem"
            Layout.fillWidth: true
            text: form.problem
            textFormat: Text.PlainText
            visible: text !== ""
            color: Theme.secondaryText
            font.pointSize: Theme.fontSize
            wrapMode: Text.Wrap
        }
        SettingsLink {
            objectName: form.prefix + "LearnMoreLink"
            text: qsTr("Learn more")
            address: form.faqAddress
        }
    }

    Item {
        Layout.fillHeight: true
    }
}
