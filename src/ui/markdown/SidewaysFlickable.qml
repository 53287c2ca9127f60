pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls

// A frame for a code block or table: its content scrolls sideways when wider
// than the frame. The scroll bar is made only once the content first is:
// most code and tables fit, and a scroll bar costs more to make than the text
// it would scroll.
Flickable {
    id: frame
    readonly property bool scrolls: contentWidth > width + 0.5

    clip: true
    flickableDirection: Flickable.HorizontalFlick
    boundsBehavior: Flickable.StopAtBounds
    interactive: scrolls

    function makeBar() {
        if (scrolls && !ScrollBar.horizontal)
            ScrollBar.horizontal = bar.createObject(frame)
    }
    onScrollsChanged: makeBar()
    Component.onCompleted: makeBar()

    Component {
        id: bar
        ScrollBar {
            policy: frame.scrolls ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        }
    }
}
