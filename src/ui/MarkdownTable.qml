import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui

// A table: bold header row, cell borders, each column aligned as the model
// says; a wide table scrolls sideways. "Copy table" to its right.
Item {
    id: table
    property int columns
    property var cells: []
    property string copyText
    property color textColor
    property color lineColor

    readonly property int maxCellWidth: 320
    implicitWidth: grid.implicitWidth + 2 + 4 + copyButton.implicitWidth
    implicitHeight: Math.max(frame.height, copyButton.implicitHeight)

    Flickable {
        id: frame
        readonly property bool scrolls: contentWidth > width + 0.5
        width: table.width - copyButton.width - 4
        height: border.height + (scrolls ? 10 : 0)
        contentWidth: border.width
        contentHeight: border.height
        clip: true
        flickableDirection: Flickable.HorizontalFlick
        boundsBehavior: Flickable.StopAtBounds
        interactive: scrolls
        ScrollBar.horizontal: ScrollBar {
            policy: frame.scrolls ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        }

        Rectangle {
            id: border
            width: grid.implicitWidth + 2
            height: grid.implicitHeight + 2
            color: "transparent"
            border.width: 1
            border.color: table.lineColor
            radius: 2

            GridLayout {
                id: grid
                x: 1
                y: 1
                width: implicitWidth
                height: implicitHeight
                columns: Math.max(1, table.columns)
                columnSpacing: 0
                rowSpacing: 0

                Repeater {
                    model: table.cells
                    Rectangle {
                        id: cell
                        required property var modelData
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        implicitWidth: Math.min(cellText.implicitWidth, table.maxCellWidth) + 16
                        implicitHeight: cellText.height + 10
                        color: modelData.header ? Qt.rgba(table.textColor.r, table.textColor.g, table.textColor.b, 0.06)
                                                : "transparent"

                        MarkdownText {
                            id: cellText
                            x: 8
                            y: 5
                            width: cell.width - 16
                            text: cell.modelData.html
                            color: table.textColor
                            horizontalAlignment: cell.modelData.align
                        }
                        Rectangle {
                            visible: !cell.modelData.lastColumn
                            x: cell.width - 1
                            width: 1
                            height: cell.height
                            color: table.lineColor
                        }
                        Rectangle {
                            visible: !cell.modelData.lastRow
                            y: cell.height - 1
                            width: cell.width
                            height: 1
                            color: table.lineColor
                        }
                    }
                }
            }
        }
    }

    MarkdownCopyButton {
        id: copyButton
        objectName: "copyTableButton"
        anchors.right: parent.right
        anchors.top: parent.top
        text: qsTr("Copy table")
        copyText: table.copyText
        iconColor: table.textColor
    }
}
