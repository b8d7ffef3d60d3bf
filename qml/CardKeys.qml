import QtQuick 2.12

// The keys of a list of cards: Up/Down, J/K, Page Up/Page Down and Home/End make another card the
// current one and bring it to the top; the action keys are signalled for the current card. Off
// while the list is not the page shown, and while a text field has the keyboard, so that typing
// never moves or changes a card.
Item {
    id: cardKeys

    property ListView view: null
    property bool active: false
    readonly property bool enabledNow: cardKeys.active && !window.typing && cardKeys.view !== null

    signal save(Item card)
    signal copy(Item card)
    signal copyLink(Item card)
    signal open(Item card)
    signal showInFolder(Item card)
    signal remove(Item card)
    // A gallery's other pictures, on the current card.
    signal previousPicture(Item card)
    signal nextPicture(Item card)

    // The card at a height of the view's content, looking past the gap between two cards.
    function indexAtY(y) {
        var view = cardKeys.view
        var index = view.indexAt(view.width / 2, y)
        return index >= 0 ? index : view.indexAt(view.width / 2, y + view.spacing + 1)
    }

    // Moves from the current card, or from the top one the first time or after the mouse scrolled
    // it out of sight.
    function startIndex() {
        var view = cardKeys.view
        var current = view.currentItem
        var inSight = current !== null && current.y + current.height > view.contentY
            && current.y < view.contentY + view.height
        if (window.keyboardUsed && inSight)
            return view.currentIndex
        var top = cardKeys.indexAtY(view.contentY)
        return top >= 0 ? top : Math.max(view.currentIndex, 0)
    }

    function moveTo(index) {
        var view = cardKeys.view
        if (view.count === 0)
            return
        var target = Math.max(0, Math.min(view.count - 1, index))
        window.keyboardUsed = true
        view.currentIndex = target
        view.positionViewAtIndex(target, ListView.Beginning)
    }

    function step(delta) {
        cardKeys.moveTo(cardKeys.startIndex() + delta)
    }

    // A screen further: the card at the view's other edge, but always at least one card on.
    function page(direction) {
        var view = cardKeys.view
        var from = cardKeys.startIndex()
        var edge = direction > 0 ? cardKeys.indexAtY(view.contentY + view.height - 1)
                                 : cardKeys.indexAtY(view.contentY - view.height + 1)
        var target = edge < 0 || (edge - from) * direction <= 0 ? from + direction : edge
        cardKeys.moveTo(target)
    }

    // The card acted on becomes the current one, without scrolling: it is the one in sight.
    function act(signalOf) {
        var view = cardKeys.view
        if (view.count === 0)
            return
        view.currentIndex = cardKeys.startIndex()
        window.keyboardUsed = true
        if (view.currentItem !== null)
            signalOf(view.currentItem)
    }

    Shortcut {
        sequences: ["Down", "J"]
        enabled: cardKeys.enabledNow
        onActivated: cardKeys.step(1)
    }

    Shortcut {
        sequences: ["Up", "K"]
        enabled: cardKeys.enabledNow
        onActivated: cardKeys.step(-1)
    }

    Shortcut {
        sequence: "PgDown"
        enabled: cardKeys.enabledNow
        onActivated: cardKeys.page(1)
    }

    Shortcut {
        sequence: "PgUp"
        enabled: cardKeys.enabledNow
        onActivated: cardKeys.page(-1)
    }

    Shortcut {
        sequence: "Home"
        enabled: cardKeys.enabledNow
        onActivated: cardKeys.moveTo(0)
    }

    Shortcut {
        sequence: "End"
        enabled: cardKeys.enabledNow
        onActivated: cardKeys.moveTo(cardKeys.view.count - 1)
    }

    Shortcut {
        sequence: "S"
        enabled: cardKeys.enabledNow
        onActivated: cardKeys.act(cardKeys.save)
    }

    Shortcut {
        sequence: "C"
        enabled: cardKeys.enabledNow
        onActivated: cardKeys.act(cardKeys.copy)
    }

    Shortcut {
        sequence: "L"
        enabled: cardKeys.enabledNow
        onActivated: cardKeys.act(cardKeys.copyLink)
    }

    Shortcut {
        sequence: "O"
        enabled: cardKeys.enabledNow
        onActivated: cardKeys.act(cardKeys.open)
    }

    Shortcut {
        sequence: "F"
        enabled: cardKeys.enabledNow
        onActivated: cardKeys.act(cardKeys.showInFolder)
    }

    Shortcut {
        sequence: "Del"
        enabled: cardKeys.enabledNow
        onActivated: cardKeys.act(cardKeys.remove)
    }

    Shortcut {
        sequence: "Left"
        enabled: cardKeys.enabledNow
        onActivated: cardKeys.act(cardKeys.previousPicture)
    }

    Shortcut {
        sequence: "Right"
        enabled: cardKeys.enabledNow
        onActivated: cardKeys.act(cardKeys.nextPicture)
    }
}
