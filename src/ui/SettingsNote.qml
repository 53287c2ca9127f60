import QtQuick
import QtQuick.Controls
import Vorbel.Ui

// The small grey explanation under a settings field.
Label {
    font.pixelSize: 12
    color: Theme.secondaryText
    wrapMode: Text.Wrap
}
