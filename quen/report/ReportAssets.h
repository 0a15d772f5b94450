// The style sheet and the script of a `quen report` page, inlined into every page so
// it needs nothing from a network.
#pragma once

namespace quen::tool {

// Screen and print styles.
extern const char* const REPORT_STYLE;
// Sorting of the summary, players that borrow audio embedded for an earlier one, and
// "play next"; everything else on the page works without it. It also notes on each
// player the duration the browser read, and on the body any script error, for whoever
// checks the page.
extern const char* const REPORT_SCRIPT;

}  // namespace quen::tool
