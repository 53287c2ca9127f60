pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls

// A "Model" picker. Server ids can be long: they lose their middle rather
// than their end, so that an "(unavailable)" mark stays in sight. They come
// from a server, so they are shown as written, never as markup.
ComboBox {
    id: control

    Accessible.name: qsTr("Model")

    // As wide as the widest entry in the font drawn now: the style's own
    // measure needs its text field, which this picker does not have.
    FontMetrics {
        id: metrics
        font: control.font
    }
    readonly property real widestTextWidth: {
        let widest = 0
        for (let i = 0; i < count; ++i)
            widest = Math.max(widest, metrics.advanceWidth(textAt(i)))
        return Math.ceil(widest)
    }
    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            widestTextWidth + 2 * (4 - padding) + leftPadding + rightPadding)

    // Plain text in place of the style's read-only field, which screen readers
    // would meet as a second, unnamed control inside the picker.
    contentItem: Text {
        leftPadding: 4 - control.padding
        rightPadding: 4 - control.padding
        topPadding: 4
        bottomPadding: 4
        text: control.displayText
        textFormat: Text.PlainText
        // Elided where it is drawn, in the font it is drawn in.
        elide: Text.ElideMiddle
        font: control.font
        color: control.palette.buttonText
        verticalAlignment: Text.AlignVCenter
        Accessible.ignored: true
    }

    delegate: MenuItem {
        id: entry
        required property int index
        required property string modelData

        width: ListView.view.width
        text: modelData
        font.weight: control.currentIndex === index ? Font.DemiBold : Font.Normal
        highlighted: control.highlightedIndex === index
        hoverEnabled: control.hoverEnabled
        Accessible.name: modelData
        contentItem: Text {
            text: entry.text
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
            font: entry.font
            verticalAlignment: Text.AlignVCenter
            color: entry.down || entry.highlighted ? entry.palette.highlightedText : entry.palette.text
        }
    }
}
