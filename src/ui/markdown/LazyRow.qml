import QtQuick

// A row of a MarkdownMessage that is made and laid out only while its
// LazyColumn says it is near the viewport. Out of it the row keeps the height
// it had, or a guess from its text until it is first shown, so a long message
// costs nothing per frame for its far rows. A row holds as few objects as it
// can: a long reply has thousands of rows, and the script engine's collector
// walks every one of them.
Item {
    id: lazy

    // What the row shows, made while it is near the viewport.
    property Component body
    // Set by the LazyColumn.
    property bool shown: false
    // For the guess: the row's characters and lines, and the width it wraps in.
    property int textLength: 0
    property int lineCount: 1
    property real wrapWidth: width
    property real spacingAbove: 0
    property real lineHeight: 16
    property real charWidth: 7

    // Kept while the row is out of view; a new width makes it a guess again.
    property real laidHeight: -1
    property real laidWidth: 0
    readonly property real guessedHeight: spacingAbove + lineHeight
        * Math.max(lineCount, Math.ceil(textLength * charWidth / Math.max(charWidth, wrapWidth)))

    implicitHeight: loader.item ? (loader.item as Item).implicitHeight : laidHeight >= 0 ? laidHeight : guessedHeight
    implicitWidth: loader.item ? (loader.item as Item).implicitWidth : laidWidth
    onImplicitHeightChanged: if (loader.item) laidHeight = implicitHeight
    onImplicitWidthChanged: if (loader.item) laidWidth = implicitWidth
    onWidthChanged: if (!loader.item) laidHeight = -1

    Loader {
        id: loader
        width: lazy.width
        active: lazy.shown
        sourceComponent: lazy.body
    }
}
