// Identity of the product and the addresses of its vendor. The vendor's
// server lives under the reserved .example domain so that no build of this
// program can ever reach a real host by accident.
#pragma once

#define TORVANE_PRODUCT_NAME "Torvane"
#define TORVANE_VERSION_TEXT "3.01"
#define TORVANE_VERSION_NUMBER 301
#define TORVANE_BUILD_TEXT "003"

// Recognised in request texts: a request naming it is the vendor's own.
#define TORVANE_VENDOR_DOMAIN "torvane.example"

#define TORVANE_VENDOR_HOME "http://www.torvane.example/"
#define TORVANE_DOWNLOAD_PAGE "http://www.torvane.example/download.htm"
#define TORVANE_ORDER_PAGE "http://www.torvane.example/order.htm"
#define TORVANE_HISTORY_PAGE "http://www.torvane.example/history.htm"
#define TORVANE_FAQ_PAGE "http://www.torvane.example/faq.htm"
