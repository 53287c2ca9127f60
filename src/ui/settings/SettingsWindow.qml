import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common
import Vorbel.Ui.Settings

// The settings window: the assistant editor, the OpenAI account and the
// extensions, one tab each. It opens on its first tab.
ApplicationWindow {
    id: window
    objectName: "settingsWindow"
    required property AssistantEditorController editor
    required property ExtensionListModel extensions
    required property string faqAddress

    title: qsTr("Settings")
    width: 700
    height: 640
    minimumWidth: 700
    maximumWidth: 700
    minimumHeight: 560
    color: Theme.background
    // The controls draw with the house colours, which follow the system's light or dark look.
    // The style draws field and checkbox outlines a shade darker than the window
    // colour, which on a dark background would vanish: the dark look gets a lighter one.
    palette.window: Theme.dark ? "#8E8E93" : Theme.background
    palette.windowText: Theme.text
    palette.base: Theme.background
    palette.alternateBase: Theme.sidebar
    palette.text: Theme.text
    palette.button: Theme.sidebar
    palette.buttonText: Theme.text
    palette.highlight: Theme.accent
    palette.highlightedText: "white"
    palette.placeholderText: Theme.secondaryText
    palette.toolTipBase: Theme.assistantMessage
    palette.toolTipText: Theme.text

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 20
        spacing: 16

        TabBar {
            id: tabs
            objectName: "settingsTabs"
            Layout.alignment: Qt.AlignHCenter
            Accessible.name: qsTr("Settings")
            background: Item {}

            Repeater {
                model: [
                    { name: "assistantsTab", label: qsTr("Assistants"), icon: "system-users", file: "settings-assistants" },
                    { name: "openAiTab", label: qsTr("OpenAI settings"), icon: "network-workgroup", file: "settings-openai" },
                    { name: "extensionsTab", label: qsTr("Extensions"), icon: "application-x-addon", file: "settings-extensions" }
                ]
                TabButton {
                    id: tab
                    required property var modelData
                    objectName: modelData.name
                    width: implicitWidth
                    padding: 8
                    text: modelData.label
                    display: AbstractButton.TextUnderIcon
                    icon.name: modelData.icon
                    icon.source: Theme.icon(modelData.file)
                    icon.color: checked ? Theme.accent : Theme.text
                    icon.width: 24
                    icon.height: 24
                    Accessible.name: text
                    background: Rectangle {
                        radius: 6
                        color: tab.checked ? Theme.alpha(Theme.accent, 0.15)
                                              : "transparent"
                        border.width: tab.visualFocus ? 2 : 0
                        border.color: Theme.accent
                    }
                }
            }
        }

        StackLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            currentIndex: tabs.currentIndex

            AssistantEditorView {
                editor: window.editor
                faqAddress: window.faqAddress
                active: tabs.currentIndex === 0
            }
            OpenAiSettingsView {
                faqAddress: window.faqAddress
            }
            ExtensionsView {
                extensions: window.extensions
            }
        }
    }
}
