import QtQuick
import QtQuick.Controls
import Vorbel.Ui

// A "Model" picker. Server ids can be long: they lose their middle rather
// than their end, so that an "(unavailable)" mark stays in sight.
ComboBox {
    id: control

    // Measured in the weight of the chosen entry, the widest of them.
    FontMetrics {
        id: metrics
        font: Qt.font({family: control.font.family, pointSize: control.font.pointSize, weight: Font.DemiBold})
    }

    Accessible.name: qsTr("Model")
    displayText: metrics.elidedText(currentText, Text.ElideMiddle, availableWidth - 8)

    delegate: MenuItem {
        required property int index
        required property string modelData

        width: ListView.view.width
        text: metrics.elidedText(modelData, Text.ElideMiddle, width - leftPadding - rightPadding)
        font.weight: control.currentIndex === index ? Font.DemiBold : Font.Normal
        highlighted: control.highlightedIndex === index
        hoverEnabled: control.hoverEnabled
        Accessible.name: modelData
    }
}
