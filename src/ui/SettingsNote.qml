import QtQuick
import QtQuick.Controls
import Vorbel.Ui

// The small grey explanation under a settings field.
Label {
    font.pointSize: Theme.fontSize
    color: Theme.secondaryText
    wrapMode: Text.Wrap
}
