#pragma once

class TestHttpServer;

// The canned content served to tests and to the demo feed. Listings live under
// /r/dankmemes/<sort>.json, so a test chooses a listing by storing a sort name; pictures under /img/.
// Addresses inside the listings are made per request from the server's own URL.
//
//   /r/dankmemes/hot.json          page 1: "Pinned rules" (stickied image), "First meme" (/img/still.png),
//                                  "A link post" (link), "No hint at all" (no post_hint),
//                                  "Second meme" (/img/photo.jpg); after "t3_page2"
//   /r/dankmemes/hot.json?after=t3_page2   "Second page meme" (/img/photo.jpg); after null
//   /r/dankmemes/cursor.json       no posts; after "t3_cursor"
//   /r/dankmemes/empty.json        "data" without "children" and without "after"
//   /r/dankmemes/nul.json          a listing (after "t3_nul") followed by a NUL byte and more text
//   /r/dankmemes/notjson.json      an HTML page
//   /r/dankmemes/huge.json         a valid listing of about 3 MiB; after "t3_huge"
//   /r/dankmemes/redirect.json     302 to hot.json?after=t3_page2
//   /r/dankmemes/close.json        page 1, connection closed halfway through the body
//   /r/dankmemes/stall.json        head sent, body never comes
//   /r/dankmemes/statusN.json      status N, for N = 403, 404, 429, 500
//   /img/still.png, /img/photo.jpg 40x30 PNG and JPEG
//   /img/animated.gif, /img/single.gif   GIF of 3 frames, GIF of 1 frame
//   /img/notimage.txt              plain text
//   /img/empty                     200 with an empty body
//   /img/redirect                  302 to /img/still.png
//   /img/close, /img/stall         photo.jpg cut off halfway; head only, body never comes
//   /img/huge, /img/huge-unsized   a readable JPEG padded to 3 MiB, with and without Content-Length
//   /img/statusN                   status N, for N = 403, 404, 429, 500
//   anything else                  404
void installCannedRoutes(TestHttpServer &server);
