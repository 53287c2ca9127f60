import QtQuick
import QtQuick.Controls
import Vorbel.Ui.Common

// A row of a sidebar list. The selected row and the row under the pointer get
// a tint rather than the solid highlight, so the row's text keeps its colours.
ItemDelegate {
    id: row
    width: ListView.view.width
    padding: 8

    background: Rectangle {
        color: row.highlighted ? Theme.alpha(Theme.accent, 0.22)
                               : row.hovered ? Theme.alpha(Theme.text, 0.05) : "transparent"
    }
}
