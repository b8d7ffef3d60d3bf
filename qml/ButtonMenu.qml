import QtQuick 2.12
import QtQuick.Controls 2.12

// A menu that opens under a button of a card, right-aligned with it, as the card's buttons sit at
// its right edge.
Menu {
    id: buttonMenu

    function openUnder(button) {
        var below = button.mapToItem(buttonMenu.parent, 0, button.height)
        buttonMenu.x = below.x + button.width - buttonMenu.width
        buttonMenu.y = below.y
        buttonMenu.open()
    }
}
