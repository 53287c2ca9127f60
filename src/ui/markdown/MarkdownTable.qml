// Qt 6.4 cannot load a bound component, and unbound, its qmllint takes the
// ids of this file for unqualified names inside the delegates.
// qmllint disable unqualified
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common
import Vorbel.Ui.Markdown

// A table: bold header row, cell borders, each column aligned as the model
// says; a wide table scrolls sideways. "Copy table" to its right. A table too
// large to draw whole shows the model's note, then the rest as text.
Item {
    id: table
    property int columns
    property var cells: []
    property string note
    property string cutText
    property string copyText
    property color textColor
    property color lineColor

    readonly property int maxCellWidth: 320
    implicitWidth: grid.implicitWidth + 2 + 4 + copyButton.implicitWidth
    implicitHeight: Math.max(frame.height + (cutPart.item ? cutPart.implicitHeight + 6 : 0), copyButton.implicitHeight)

    SidewaysFlickable {
        id: frame
        width: table.width - copyButton.width - 4
        height: border.height + (scrolls ? 10 : 0)
        contentWidth: border.width
        contentHeight: border.height

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
                    // Made a few hundred cells per turn of the event loop: a reply may
                    // bring thousands.
                    model: GradualListModel {
                        values: table.cells
                    }
                    Rectangle {
                        id: cell
                        required property var value
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        implicitWidth: Math.min(cellText.implicitWidth, table.maxCellWidth) + 16
                        implicitHeight: cellText.height + 10
                        color: value.header ? Theme.alpha(table.textColor, 0.06)
                                            : "transparent"

                        SelectableRichText {
                            id: cellText
                            x: 8
                            y: 5
                            width: cell.width - 16
                            html: cell.value.html
                            color: table.textColor
                            horizontalAlignment: cell.value.align
                        }
                        Rectangle {
                            visible: !cell.value.lastColumn
                            x: cell.width - 1
                            width: 1
                            height: cell.height
                            color: table.lineColor
                        }
                        Rectangle {
                            visible: !cell.value.lastRow
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

    // Made only for a table too large to draw whole. An empty note would cost
    // more than its room: Qt's empty text watches the viewport, and every row
    // of a long message is then visited whenever the message grows.
    Loader {
        id: cutPart
        active: table.note !== ""
        y: frame.height + 6
        width: frame.width
        sourceComponent: Column {
            objectName: "tableCut"

            Label {
                objectName: "tableNote"
                width: parent.width
                bottomPadding: 4
                wrapMode: Text.Wrap
                textFormat: Text.PlainText
                text: table.note
                color: Theme.alpha(table.textColor, 0.7)
                font.italic: true
            }
            Repeater {
                model: GradualListModel {
                    batch: 1
                    values: TextChunks.shownChunks(table.cutText)
                }
                TextEdit {
                    required property string value
                    width: cutPart.width
                    readOnly: true
                    selectByMouse: true
                    wrapMode: TextEdit.Wrap
                    textFormat: TextEdit.PlainText
                    text: value
                    color: table.textColor
                    selectionColor: Theme.accent
                    selectedTextColor: "white"
                    activeFocusOnTab: false
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
