#pragma once

class TestHttpServer;

// The canned content served to tests and to the demo feed: listing pages, pictures and the
// failure routes. Listings live under /r/dankmemes/<sort>.json, so a test chooses a route by
// storing a sort name; pictures under /img/.
void installCannedRoutes(TestHttpServer &server);
