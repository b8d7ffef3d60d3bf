.pragma library

// Ways into the main window's visual tree for the Qt Quick tests, which see the window only from
// outside: depth-first searches by a predicate, and the meme cards of a list in screen order.

function findItem(item, accept) {
    if (!item)
        return null
    if (accept(item))
        return item
    var children = item.children
    for (var i = 0; i < children.length; ++i) {
        var found = findItem(children[i], accept)
        if (found)
            return found
    }
    return null
}

function withText(text) {
    return function (item) {
        return item.text === text && item.visible
    }
}

function withPlaceholder(text) {
    return function (item) {
        return item.placeholderText === text && item.visible
    }
}

// The meme or copypasta cards a list shows, top to bottom. Left out: cards still fading in or out,
// and meme cards the list is still building in the background (their picture element does not
// exist yet).
function cardsOf(listView) {
    var cards = []
    var children = listView.contentItem.children
    for (var i = 0; i < children.length; ++i) {
        var child = children[i]
        var isMeme = child.insideBunker !== undefined && child.memeImg !== null
        var isCopypasta = child.copyClicked !== undefined
        if ((isMeme || isCopypasta) && child.visible && child.opacity === 1)
            cards.push(child)
    }
    cards.sort(function (a, b) {
        return a.y - b.y
    })
    return cards
}

function buttonOf(card, text) {
    return findItem(card, function (item) {
        return item.text === text && item.clicked !== undefined
    })
}

function titleLabelOf(card) {
    return findItem(card, function (item) {
        return item.text === card.title && item.textFormat !== undefined
    })
}

function brightnessEffectOf(card) {
    return findItem(card, function (item) {
        return item.brightness !== undefined && item.contrast !== undefined
    })
}

function titlesOf(model) {
    var titles = []
    for (var i = 0; i < model.count; ++i)
        titles.push(model.get(i).title)
    return titles
}
