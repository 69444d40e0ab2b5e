// The unit's time to take and write an image, from when it answered the check echo: 30 s
// for firmware, 15 s for web pages (the update page's bar advances once a second). The
// deadline itself is UploadDeadline (core/upload.h).
#pragma once

constexpr unsigned kFirmwareTicks = 30;
constexpr unsigned kWebPageTicks = 15;
