#pragma once

#include <QString>

// Memes removed from the bunker that can still come back. Their two files wait in a folder beside
// the bunker folder, on the same file system so that every move is a rename, until the removal is
// confirmed; then they go to the desktop trash. Every step moves the two files in the order that
// leaves no listed meme without its picture, whenever the program may die.
class RemovedMemes {
public:
    // Both paths end in a slash.
    RemovedMemes(const QString &bunkerPath, const QString &waitingPath);

    // The record goes first, so that the meme is no longer listed once its picture moves. False,
    // with everything left in place, when the meme could not be taken out.
    bool takeOut(const QString &key, const QString &format) const;

    // The picture goes first, so that the meme is listed again only once its picture is back.
    // Whether the meme is listed again.
    bool putBack(const QString &key, const QString &format) const;

    // The picture goes first: a record left waiting without its picture marks a confirmed removal.
    void discard(const QString &key, const QString &format) const;

    // Whether the meme's picture still exists, waiting or back in the bunker.
    bool hasPicture(const QString &key, const QString &format) const;

    QString waitingPath() const { return waiting; }

    // Moves a file to the desktop trash, or deletes it where no trash can take it.
    static void trashOrDelete(const QString &path);

private:
    QString bunker;
    QString waiting;
};
