import QtQuick
import QtQuick.Controls
import Vorbel.Ui.Common

// The arrow beside a heading that folds its content away: down when open.
Label {
    property bool open: false
    text: open ? "\u25BE" : "\u25B8"
    color: Theme.secondaryText
}
