// Where the cloud sync service lives. The production host serves both the
// sync requests and the internet probe of the Wi-Fi core, so the two always
// ask the same server.
#pragma once

// A plain string literal, so that it joins narrow and UTF-16 literals alike
// (u"http://" KIVO_SYNC_PRODUCTION_HOST "/...").
#define KIVO_SYNC_PRODUCTION_HOST "ws.kivoshare.com"
#define KIVO_SYNC_SANDBOX_HOST "sandbox.kivoshare.com"
