import QtQuick
import QtQuick.Controls
import Vorbel.Ui

// A paragraph, with its web images below its text, each scaled down to the
// width and shown only in the appearance it is meant for.
Item {
    id: paragraph
    property string html
    property bool hasText
    property var images: []
    property color textColor

    // The text unwrapped: a Column would report its children's current width.
    // Set, not bound: reading a wrapped text's implicit width lays it out again.
    implicitHeight: column.implicitHeight
    function fitWidth() {
        implicitWidth = paragraphText.visible ? paragraphText.implicitWidth : 0
    }
    Component.onCompleted: fitWidth()

    Column {
        id: column
        width: paragraph.width
        spacing: 6

        MarkdownText {
            id: paragraphText
            width: paragraph.width
            visible: paragraph.hasText
            text: paragraph.html
            color: paragraph.textColor
            onImplicitWidthChanged: paragraph.fitWidth()
            onVisibleChanged: paragraph.fitWidth()
        }

        Repeater {
            model: paragraph.images
            Image {
                required property var modelData
                objectName: "markdownImage"
                source: modelData.source
                asynchronous: true
                fillMode: Image.PreserveAspectFit
                visible: status === Image.Ready && (Theme.dark ? modelData.dark : modelData.light)
                width: Math.min(implicitWidth, paragraph.width)
                height: implicitWidth > 0 ? width * implicitHeight / implicitWidth : 0
                Accessible.role: Accessible.Graphic
                Accessible.name: modelData.alt
                HoverHandler { id: imageHover }
                ToolTip.visible: imageHover.hovered && modelData.alt !== ""
                ToolTip.text: modelData.alt
                ToolTip.delay: 400
            }
        }
    }
}
