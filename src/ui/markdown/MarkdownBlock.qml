// Qt 6.4 cannot load a bound component, and unbound, its qmllint takes the
// ids of this file for unqualified names inside the delegates.
// qmllint disable unqualified
import QtQuick
import Vorbel.Ui.Common
import Vorbel.Ui.Markdown

// One row of a MarkdownMessage: a block with the bars of the quotes around it and
// the list marker before it. The roles come from MarkdownBlockModel.
LazyRow {
    id: row
    objectName: "markdownRow"

    required property int index
    required property int kind
    required property int indent
    required property var bars
    required property string marker
    required property string markerText
    required spacingAbove
    required property string html
    required property bool hasText
    required property var images
    required property int level
    required property string language
    required property string copyText
    required property string text
    required property int columns
    required property var cells
    required property string note
    required property string cutText
    required textLength
    required lineCount

    property color textColor
    property color codeBackground
    property font codeFont
    readonly property color faintColor: Theme.alpha(textColor, 0.3)

    wrapWidth: width - indent
    body: rowBody

    Component {
        id: rowBody
        Item {
            implicitHeight: row.spacingAbove + content.implicitHeight
            implicitWidth: row.indent + content.implicitWidth

            // Quote bars, a list marker or a task box, made only for the rows that have them.
            Loader {
                active: row.bars.length > 0 || row.marker !== ""
                sourceComponent: Item {
                    Repeater {
                        model: row.bars
                        Rectangle {
                            required property var modelData
                            x: modelData.x + 1
                            y: modelData.joinsAbove ? 0 : row.spacingAbove
                            width: 3
                            height: row.height - y
                            radius: 1.5
                            color: row.faintColor
                        }
                    }

                    Text {
                        visible: row.marker === "bullet" || row.marker === "number"
                        x: row.indent - 24
                        y: row.spacingAbove
                        width: 18
                        horizontalAlignment: Text.AlignRight
                        text: visible ? row.markerText : ""
                        textFormat: Text.PlainText
                        color: row.textColor
                        font.bold: row.kind === MarkdownBlockModel.Heading
                    }

                    Loader {
                        active: row.marker === "checked" || row.marker === "unchecked"
                        x: row.indent - 21
                        y: row.spacingAbove + Math.max(0, (row.lineHeight - 14) / 2)
                        sourceComponent: Rectangle {
                            objectName: "taskMark"
                            readonly property bool checked: row.marker === "checked"
                            Accessible.role: Accessible.CheckBox
                            Accessible.checkable: true
                            Accessible.checked: checked
                            Accessible.name: MessageFormatting.plainTextOf(row.html)
                            width: 14
                            height: 14
                            radius: 3
                            color: checked ? row.textColor : "transparent"
                            border.width: checked ? 0 : 1.5
                            border.color: Theme.alpha(row.textColor, 0.6)

                            // A tick drawn from two bars, so no font needs the glyph.
                            Item {
                                visible: parent.checked
                                anchors.fill: parent
                                Rectangle {
                                    x: 2.5; y: 7.2; width: 4.5; height: 1.8; radius: 0.9
                                    rotation: 45
                                    color: Theme.dark && !Qt.colorEqual(row.textColor, "white") ? "black" : Theme.background
                                }
                                Rectangle {
                                    x: 4.6; y: 5.6; width: 8; height: 1.8; radius: 0.9
                                    rotation: -50
                                    color: Theme.dark && !Qt.colorEqual(row.textColor, "white") ? "black" : Theme.background
                                }
                            }
                        }
                    }
                }
            }

            Loader {
                id: content
                x: row.indent
                y: row.spacingAbove
                width: Math.max(0, row.width - row.indent)
                sourceComponent: {
                    switch (row.kind) {
                    case MarkdownBlockModel.Paragraph: return paragraph
                    case MarkdownBlockModel.Heading: return heading
                    case MarkdownBlockModel.Code: return codeBlock
                    case MarkdownBlockModel.Table: return table
                    case MarkdownBlockModel.Html: return htmlBlock
                    case MarkdownBlockModel.Rule: return rule
                    }
                    return empty
                }
            }

            Component {
                id: paragraph
                MarkdownParagraph {
                    html: row.html
                    hasText: row.hasText
                    images: row.images
                    textColor: row.textColor
                }
            }

            Component {
                id: heading
                SelectableRichText {
                    readonly property var scales: [1.6, 1.4, 1.2, 1.1, 1.0, 0.9]
                    text: row.html
                    color: row.textColor
                    font.bold: true
                    font.pointSize: Math.max(1, Theme.fontSize * scales[Math.max(0, Math.min(5, row.level - 1))])
                }
            }

            Component {
                id: codeBlock
                MarkdownCodeBlock {
                    html: row.html
                    language: row.language
                    copyText: row.copyText
                    textColor: row.textColor
                    background: row.codeBackground
                    codeFont: row.codeFont
                }
            }

            Component {
                id: table
                MarkdownTable {
                    columns: row.columns
                    cells: row.cells
                    note: row.note
                    cutText: row.cutText
                    copyText: row.copyText
                    textColor: row.textColor
                    lineColor: row.faintColor
                }
            }

            Component {
                id: htmlBlock
                SelectableRichText {
                    objectName: "writtenText"
                    textFormat: TextEdit.PlainText
                    text: row.text
                    color: row.textColor
                }
            }

            Component {
                id: rule
                Item {
                    implicitHeight: 13
                    Rectangle {
                        y: 6
                        width: parent.width
                        height: 1
                        color: row.faintColor
                    }
                }
            }

            Component {
                id: empty
                Item {
                    implicitHeight: row.lineHeight
                }
            }
        }
    }
}
