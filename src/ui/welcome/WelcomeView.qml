import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common
import Vorbel.Ui.Settings
import Vorbel.Ui.Welcome

// The first-run cover: asks for the API key (and, under "Advanced", the
// organisation key, server address and model) and stores them once the
// server accepts them.
Rectangle {
    id: root
    color: Theme.alpha(Theme.background, 0.95)
    // View state: the advanced section starts closed.
    property bool expanded: false

    WelcomeForm {
        id: form
        onAdvancedNeeded: root.expanded = true
    }

    // The cover takes the keyboard while it shows: the key field first.
    function takeFocus() {
        form.fillFromSettings()
        apiKeyField.forceActiveFocus()
    }
    onVisibleChanged: if (visible) takeFocus()
    Component.onCompleted: if (visible) takeFocus()

    // Nothing under the cover can be reached while it is up.
    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.AllButtons
        hoverEnabled: true
        onWheel: wheel => wheel.accepted = true
    }

    // A window too short for the form scrolls it rather than cutting it off.
    Flickable {
        id: scroller
        anchors.fill: parent
        contentWidth: width
        contentHeight: Math.max(height, formPane.implicitHeight + 48)
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar {
            objectName: "welcomeScrollBar"
        }

        // The form's controls: a field lighter than the cover and an outline that
        // shows in the dark look too (Fusion draws its outline from the window colour).
        Pane {
            id: formPane
            anchors.centerIn: parent
            padding: 0
            contentWidth: 360
            background: null
            palette.window: Theme.dark ? "#6A6A6E" : Theme.sidebar
            palette.base: Theme.dark ? Theme.assistantMessage : "white"
            palette.button: Theme.dark ? Theme.assistantMessage : Theme.sidebar

            ColumnLayout {
                width: 360
                spacing: 16

                Label {
                    Layout.alignment: Qt.AlignHCenter
                    text: qsTr("Welcome to Vorbel")
                    font.pointSize: Theme.fontSize * 2
                    font.bold: true
                    color: Theme.text
                    Accessible.role: Accessible.Heading
                }

                Label {
                    objectName: "welcomeIntro"
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.Wrap
                    textFormat: Text.StyledText
                    color: Theme.text
                    linkColor: Theme.link
                    text: qsTr("Vorbel needs an OpenAI API key to get started.") + "<br>" + qsTr("You can get one on ")
                          + "<a href=\"" + WebPages.openAiSignUp + "\">" + String(WebPages.openAiSignUp).replace(/^[a-z]+:\/\/([^\/]+).*$/, "$1") + "</a>."
                    onLinkActivated: link => ExternalLinks.open(link)
                    HoverHandler {
                        cursorShape: parent.hoveredLink ? Qt.PointingHandCursor : Qt.ArrowCursor
                    }
                }

                ColumnLayout {
                    Layout.preferredWidth: 360
                    spacing: 8

                    Label {
                        text: qsTr("OpenAI API Key")
                        color: Theme.text
                    }
                    TextField {
                        id: apiKeyField
                        objectName: "apiKeyField"
                        Layout.fillWidth: true
                        placeholderText: qsTr("OpenAI API Key")
                        Accessible.name: qsTr("OpenAI API Key")
                        text: form.apiKeyField
                        onTextEdited: form.apiKeyField = text
                        onAccepted: form.submit()
                    }

                    Button {
                        objectName: "advancedButton"
                        flat: true
                        padding: 2
                        text: qsTr("Advanced")
                        Accessible.name: text
                        contentItem: RowLayout {
                            spacing: 6
                            DisclosureArrow {
                                open: root.expanded
                            }
                            Label {
                                text: qsTr("Advanced")
                                color: Theme.text
                            }
                        }
                        background: Item {}
                        onClicked: root.expanded = !root.expanded
                    }

                    Item {
                        Layout.fillWidth: true
                        clip: true
                        implicitHeight: root.expanded ? advanced.implicitHeight : 0
                        Behavior on implicitHeight {
                            NumberAnimation { duration: 200; easing.type: Easing.InOutQuad }
                        }

                        ColumnLayout {
                            id: advanced
                            width: parent.width
                            spacing: 8
                            visible: parent.implicitHeight > 0

                            Label {
                                text: qsTr("OpenAI Org Key")
                                color: Theme.text
                            }
                            TextField {
                                objectName: "orgKeyField"
                                Layout.fillWidth: true
                                placeholderText: qsTr("OpenAI Org Key")
                                Accessible.name: qsTr("OpenAI Org Key")
                                text: form.orgKeyField
                                onTextEdited: form.orgKeyField = text
                            }
                            Label {
                                text: qsTr("Server address")
                                color: Theme.text
                            }
                            TextField {
                                id: serverAddress
                                objectName: "welcomeServerAddressField"
                                Layout.fillWidth: true
                                placeholderText: ServerAddressInput.defaultAddress
                                inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
                                Accessible.name: qsTr("Server address")
                                Accessible.description: serverAddressNote.text
                                text: form.serverAddressField
                                onTextEdited: form.serverAddressField = text
                            }
                            ServerAddressNote {
                                id: serverAddressNote
                                objectName: "welcomeServerAddressNote"
                                Layout.fillWidth: true
                                address: serverAddress.text
                            }
                            Label {
                                text: qsTr("Model")
                                color: Theme.text
                            }
                            ModelPicker {
                                objectName: "welcomeModelPicker"
                                Layout.fillWidth: true
                                model: form.modelNames
                                currentIndex: form.modelIndex
                                onActivated: index => form.chooseModel(index)
                            }
                        }
                    }
                }

                Label {
                    objectName: "keyringReadFailedMessage"
                    visible: form.keyringReadFailed
                    Layout.fillWidth: true
                    wrapMode: Text.Wrap
                    text: qsTr("Vorbel could not read your key from the keyring.")
                    color: Theme.error
                    Accessible.role: Accessible.AlertMessage
                    Accessible.name: text
                }

                Label {
                    objectName: "invalidCredentialsMessage"
                    visible: form.invalid
                    Layout.fillWidth: true
                    wrapMode: Text.Wrap
                    text: form.message
                    textFormat: Text.PlainText
                    color: Theme.error
                    Accessible.role: Accessible.AlertMessage
                    Accessible.name: text
                }

                RowLayout {
                    spacing: 16

                    Button {
                        objectName: "continueButton"
                        text: qsTr("Continue")
                        Accessible.name: text
                        contentItem: RowLayout {
                            spacing: 6
                            BusyIndicator {
                                objectName: "continueSpinner"
                                visible: form.validating
                                running: visible
                                padding: 0
                                Layout.preferredWidth: 12
                                Layout.preferredHeight: 12
                            }
                            // The red mark of a rejected check.
                            Rectangle {
                                objectName: "continueErrorMark"
                                visible: form.invalid
                                Layout.preferredWidth: 14
                                Layout.preferredHeight: 14
                                radius: 7
                                color: Theme.error
                                Accessible.role: Accessible.Indicator
                                Accessible.name: qsTr("Not verified")
                                Label {
                                    anchors.centerIn: parent
                                    text: "!"
                                    color: Theme.onError
                                    font.bold: true
                                    font.pointSize: Theme.fontSize * 5 / 6
                                }
                            }
                            Label {
                                text: qsTr("Continue")
                                color: Theme.text
                            }
                        }
                        onClicked: form.submit()
                    }

                    Button {
                        id: learnMore
                        objectName: "learnMoreLink"
                        flat: true
                        text: qsTr("Learn more")
                        Accessible.name: text
                        contentItem: Label {
                            text: qsTr("Learn more")
                            color: Theme.link
                            font.underline: learnMore.hovered
                        }
                        background: Item {}
                        onClicked: ExternalLinks.open(String(WebPages.faq))
                    }
                }
            }
        }
    }
}
