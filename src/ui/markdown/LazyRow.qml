import QtQuick

// A row of a MarkdownMessage that is made and laid out only near the viewport
// (see LazyColumn). Out of it the row keeps the height it had, or a guess from
// its text until it is first shown, so a long message costs nothing per frame
// for its far rows.
Item {
    id: lazy

    // What the row shows, made while it is near the viewport.
    property Component body
    // For the guess: the row's characters and lines, and the width it wraps in.
    property int textLength: 0
    property int lineCount: 1
    property real wrapWidth: width
    property real spacingAbove: 0
    property real lineHeight: 16
    property real charWidth: 7

    // Set by the LazyColumn the row is in, while the row is near the viewport.
    property bool shown: false
    // Kept while the row is out of view; a new width makes it a guess again.
    property real laidHeight: -1
    readonly property real guessedHeight: spacingAbove + lineHeight
        * Math.max(lineCount, Math.ceil(textLength * charWidth / Math.max(charWidth, wrapWidth)))

    implicitHeight: loader.item ? (loader.item as Item).implicitHeight : laidHeight >= 0 ? laidHeight : guessedHeight
    onWidthChanged: if (!loader.item) laidHeight = -1

    Loader {
        id: loader
        width: lazy.width
        active: lazy.shown
        sourceComponent: lazy.body
        onLoaded: {
            lazy.laidHeight = (item as Item).implicitHeight
            lazy.implicitWidth = (item as Item).implicitWidth
        }
    }
    // Set, not bound: a wrapped text's implicit width follows the width the row gives it.
    Connections {
        target: loader.item
        function onImplicitHeightChanged() { lazy.laidHeight = (loader.item as Item).implicitHeight }
        function onImplicitWidthChanged() { lazy.implicitWidth = (loader.item as Item).implicitWidth }
    }
}
