// Each body is given its row as a property of the body's own root, which
// the linter takes for an unqualified name inside the body's children.
// qmllint disable unqualified
import QtQuick
import Vorbel.Ui.Common
import Vorbel.Ui.Markdown

// What the rows of one MarkdownMessage are made of: a body for each kind of
// block, the decoration of a quoted or listed block, and the body of a plain
// row. Each is made by a row near the viewport and given that row, so that a
// row holds no components of its own: a long reply makes a row on most pieces.
QtObject {
    function forKind(kind: int): Component {
        switch (kind) {
        case MarkdownBlockModel.Paragraph: return paragraph
        case MarkdownBlockModel.Heading: return heading
        case MarkdownBlockModel.Code: return codeBlock
        case MarkdownBlockModel.Table: return table
        case MarkdownBlockModel.Html: return htmlBlock
        case MarkdownBlockModel.Rule: return rule
        }
        return empty
    }

    // Quote bars, a list marker or a task box.
    readonly property Component decoration: Component {
        Item {
            required property MarkdownBlock row

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

    readonly property Component paragraph: Component {
        MarkdownParagraph {
            required property MarkdownBlock row
            html: row.html
            hasText: row.hasText
            images: row.images
            textColor: row.textColor
        }
    }

    readonly property Component heading: Component {
        SelectableRichText {
            required property MarkdownBlock row
            readonly property var scales: [1.6, 1.4, 1.2, 1.1, 1.0, 0.9]
            html: row.html
            color: row.textColor
            font.bold: true
            font.pointSize: Math.max(1, Theme.fontSize * scales[Math.max(0, Math.min(5, row.level - 1))])
        }
    }

    readonly property Component codeBlock: Component {
        MarkdownCodeBlock {
            required property MarkdownBlock row
            html: row.html
            language: row.language
            copyText: row.copyText
            textColor: row.textColor
            background: row.codeBackground
            codeFont: row.codeFont
        }
    }

    readonly property Component table: Component {
        MarkdownTable {
            required property MarkdownBlock row
            columns: row.columns
            cells: row.cells
            note: row.note
            cutText: row.cutText
            copyText: row.copyText
            textColor: row.textColor
            lineColor: row.faintColor
        }
    }

    readonly property Component htmlBlock: Component {
        SelectableRichText {
            required property MarkdownBlock row
            objectName: "writtenText"
            textFormat: TextEdit.PlainText
            text: row.text
            color: row.textColor
        }
    }

    readonly property Component rule: Component {
        Item {
            required property MarkdownBlock row
            implicitHeight: 13
            Rectangle {
                y: 6
                width: parent.width
                height: 1
                color: row.faintColor
            }
        }
    }

    readonly property Component empty: Component {
        Item {
            required property MarkdownBlock row
            implicitHeight: row.lineHeight
        }
    }

    // A plain paragraph, as wide as its longest line up to the row's width: the
    // bubble fits it. The first row that holds a search's match selects it.
    readonly property Component plain: Component {
        Item {
            required property PlainRowView row
            implicitWidth: plainText.width
            implicitHeight: plainText.implicitHeight

            SelectableRichText {
                id: plainText
                objectName: "plainText"
                width: Math.min(implicitWidth, parent.width)
                html: row.html
                color: row.textColor

                function markMatch() {
                    if (!row.holdsMatch || !row.highlight)
                        return
                    const match = MessageFormatting.searchMatch(getText(0, length), row.highlight)
                    if (match.length === 2)
                        select(match[0], match[0] + match[1])
                }
                Component.onCompleted: markMatch()
                Connections {
                    target: row
                    function onHoldsMatchChanged() { plainText.markMatch() }
                    function onHighlightChanged() { plainText.markMatch() }
                }
            }
        }
    }
}
