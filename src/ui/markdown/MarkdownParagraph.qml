// Qt 6.4 cannot load a bound component, and unbound, its qmllint takes the
// ids of this file for unqualified names inside the delegates.
// qmllint disable unqualified
import QtQuick
import QtQuick.Controls
import Vorbel.Ui.Common
import Vorbel.Ui.Markdown

// A paragraph, with its web images below its text, each shown only in the
// appearance it is meant for. An image stays a placeholder with its
// alternative text until the user presses "Load image": fetching it would
// tell its server that the reply was read, and its address may carry text
// from the conversation.
Item {
    id: paragraph
    property string html
    property bool hasText
    property var images: []
    property color textColor

    readonly property color faintColor: Theme.alpha(textColor, 0.3)

    // As wide as its text unwrapped; images are not counted.
    // Set, not bound: reading a wrapped text's implicit width lays it out again.
    implicitHeight: imageList.visible ? imageList.y + imageList.height : paragraphText.visible ? paragraphText.height : 0
    function fitWidth() {
        implicitWidth = paragraphText.visible ? paragraphText.implicitWidth : 0
    }
    Component.onCompleted: fitWidth()

    SelectableRichText {
        id: paragraphText
        width: paragraph.width
        visible: paragraph.hasText
        html: paragraph.html
        color: paragraph.textColor
        onImplicitWidthChanged: paragraph.fitWidth()
        onVisibleChanged: paragraph.fitWidth()
    }

    // Made only for a paragraph with images: most have none.
    Loader {
        id: imageList
        y: paragraphText.visible ? paragraphText.height + 6 : 0
        active: paragraph.images.length > 0
        // Images all meant for the other appearance take no room.
        visible: item !== null && (item as Item).height > 0
        sourceComponent: Column {
            spacing: 6

            Repeater {
                model: paragraph.images
                Item {
                    id: webImage
                    required property var modelData
                    readonly property bool ready: image.status === RemoteImage.Ready
                    visible: Theme.dark ? modelData.dark : modelData.light
                    width: ready ? image.width : placeholder.width
                    height: ready ? image.height : placeholder.height

                    RemoteImage {
                        id: image
                        objectName: "markdownImage"
                        source: webImage.modelData.source
                        decodeWidth: Math.ceil(paragraph.width)
                        visible: webImage.ready
                        width: Math.min(implicitWidth, paragraph.width)
                        height: implicitWidth > 0 ? width * implicitHeight / implicitWidth : 0
                        Accessible.role: Accessible.Graphic
                        Accessible.name: webImage.modelData.alt
                        HoverHandler { id: imageHover }
                        PlainToolTip {
                            visible: imageHover.hovered && webImage.modelData.alt !== ""
                            text: webImage.modelData.alt
                            delay: 400
                        }
                    }

                    Rectangle {
                        id: placeholder
                        objectName: "imagePlaceholder"
                        visible: !webImage.ready
                        width: Math.min(paragraph.width, Math.max(placeholderContent.implicitWidth, 160) + 20)
                        height: placeholderContent.implicitHeight + 16
                        radius: 6
                        color: "transparent"
                        border.width: 1
                        border.color: paragraph.faintColor

                        Column {
                            id: placeholderContent
                            x: 10
                            y: 8
                            width: placeholder.width - 20
                            spacing: 4

                            Label {
                                objectName: "imageAltText"
                                width: Math.min(implicitWidth, parent.width)
                                text: webImage.modelData.alt !== "" ? webImage.modelData.alt : qsTr("Image")
                                textFormat: Text.PlainText
                                wrapMode: Text.Wrap
                                maximumLineCount: 4
                                elide: Text.ElideRight
                                color: paragraph.textColor
                            }
                            Label {
                                objectName: "imageNote"
                                visible: text !== ""
                                width: Math.min(implicitWidth, parent.width)
                                text: image.status === RemoteImage.Loading ? qsTr("Loading image…") : image.note
                                textFormat: Text.PlainText
                                wrapMode: Text.Wrap
                                font.italic: true
                                color: Theme.alpha(paragraph.textColor, 0.7)
                            }
                            Button {
                                objectName: "loadImageButton"
                                visible: image.status === RemoteImage.NotLoaded || image.status === RemoteImage.Failed
                                text: qsTr("Load image")
                                Accessible.name: text
                                onClicked: image.load()
                            }
                        }
                    }
                }
            }
        }
    }
}
