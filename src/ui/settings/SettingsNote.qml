import QtQuick
import QtQuick.Controls
import Vorbel.Ui.Common

// The small grey explanation under a settings field.
Label {
    font.pointSize: Theme.fontSize
    color: Theme.secondaryText
    wrapMode: Text.Wrap
}
