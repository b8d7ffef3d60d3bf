#pragma once

#include <QByteArray>
#include <QString>

// Turns one page of a board's Atom feed into listing JSON text of the shape the board's JSON
// listing has, so that the trending page reads both alike. Pure functions on bytes, no I/O.
namespace AtomListing {
// The listing text for an Atom feed: {"kind":"Listing","data":{"after":…,"children":[…]}}, one
// child {"kind":"t3","data":{"name","title","url","permalink","post_hint","stickied":false}} per
// entry, in feed order; "permalink" is the entry's alternate link, absolute as the feed gives it.
// "after" is the last entry's id, or null when the feed holds fewer entries than `requested` (the
// end of the board). Empty when the body is not a whole, well-formed Atom feed
// (not XML, cut short, another vocabulary, a document type declaration).
QByteArray toListing(const QByteArray &atom, int requested);

// Whether a link target is a picture: http(s) on i.redd.it or i.imgur.com, or a path ending in
// .jpg, .jpeg, .png or .gif, letter case ignored; never a video (.gifv, .mp4, .webm).
bool isPicture(const QString &url);

// Decodes the character references of HTML text: &amp; &lt; &gt; &quot; &apos; &nbsp; and
// numeric ones. Anything else is left as it is.
QString decodeEntities(const QString &text);

// The text of an HTML fragment: tags removed, then character references decoded.
QString plainText(const QString &html);

// The href of the first anchor whose text is "[link]" in an HTML fragment, decoded; null if none.
QString linkTarget(const QString &html);
} // namespace AtomListing
