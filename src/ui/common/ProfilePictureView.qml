import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common

// A picture and a name, with an optional second line. The picture loads in
// the background; until then, or if it fails, its place stays empty.
RowLayout {
    id: root
    property string name
    property var url
    property string subHeadline
    property bool alignTop: false
    property color subHeadlineColor: Theme.secondaryText
    // The second line on one line, cut with "…" (a list row's fixed height).
    property bool subHeadlineOneLine: false
    // A search snippet: its matches in bold.
    property bool subHeadlineIsSnippet: false

    spacing: 8

    Item {
        Layout.preferredWidth: 40
        Layout.preferredHeight: 40
        Layout.alignment: root.alignTop ? Qt.AlignTop : Qt.AlignVCenter

        Image {
            objectName: "profilePicture"
            anchors.fill: parent
            asynchronous: true
            source: root.url ? root.url : ""
            sourceSize.width: 80
            sourceSize.height: 80
            fillMode: Image.PreserveAspectCrop
            visible: status === Image.Ready
        }
    }

    ColumnLayout {
        Layout.alignment: root.alignTop ? Qt.AlignTop : Qt.AlignVCenter
        Layout.fillWidth: true
        Layout.preferredWidth: 200
        Layout.maximumWidth: 200
        spacing: 2

        Label {
            objectName: "profileName"
            Layout.fillWidth: true
            text: root.name
            textFormat: Text.PlainText
            font.bold: true
            color: Theme.text
            elide: Text.ElideRight
        }
        Label {
            objectName: "profileSubHeadline"
            Layout.fillWidth: true
            visible: text.length > 0
            text: root.subHeadline
            textFormat: root.subHeadlineIsSnippet ? Text.StyledText : Text.PlainText
            font.pointSize: Theme.fontSize
            color: root.subHeadlineColor
            wrapMode: root.subHeadlineOneLine ? Text.NoWrap : Text.Wrap
            elide: root.subHeadlineOneLine ? Text.ElideRight : Text.ElideNone
        }
    }

    // Takes what is left over, so the text stays beside the picture.
    Item {
        Layout.fillWidth: true
        Layout.preferredWidth: 0
    }
}
