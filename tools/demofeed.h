#pragma once

class TestHttpServer;

// The demo feed: three listing pages of original sample memes (a GIF, a gallery and an NSFW post
// among them), served by the loopback server to anyone who wants to see Jest Crate work without
// the real forum. Every sort order serves the same pages; the pictures are resources of the demo
// program.
//
//   /r/dankmemes/<sort>.json                   page 1: a stickied post, a gallery of three, an NSFW
//                                              post, a link post and three image posts, one title
//                                              with "&amp;"; after "t3_demo2"
//   /r/dankmemes/<sort>.json?after=t3_demo2    page 2: a repeat of a page 1 post, three image posts
//                                              (one GIF, one small picture); after "t3_demo3"
//   /r/dankmemes/<sort>.json?after=t3_demo3    page 3: one image post; after null
//   /r/dankmemes/<sort>/.rss                   the Atom feed: every post but the pinned one,
//                                              the repeat too; the gallery is a link there
//   /demo/<picture>                            the pictures, cacheable for a year
// With atomOnly, the JSON listings answer 403 as the live forum does for anonymous readers, so
// the program shows the feed through its Atom fallback.
void installDemoRoutes(TestHttpServer &server, bool atomOnly = false);
