import QtQuick
import QtQuick.Controls
import Vorbel.Ui.Common

// A tool button that shows only its icon; `text` names it in the tooltip and
// for the screen reader.
ToolButton {
    display: AbstractButton.IconOnly
    icon.color: Theme.text
    ToolTip.text: text
    ToolTip.visible: hovered
    Accessible.name: text
}
