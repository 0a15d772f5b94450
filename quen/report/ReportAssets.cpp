// Kept small and free of any library: the page must open the same in ten years.
#include "quen/report/ReportAssets.h"

namespace quen::tool {

const char* const REPORT_STYLE = R"css(
:root { color-scheme: light; font-family: system-ui, sans-serif; line-height: 1.4; }
body { margin: 0 auto; max-width: 72rem; padding: 1rem 1.5rem 3rem; color: #1b1b1b; }
h1 { font-size: 1.6rem; margin-bottom: 0.2rem; }
h2 { font-size: 1.3rem; border-bottom: 2px solid #2a6fb0; padding-bottom: 0.2rem; margin-top: 2rem; }
h3 { font-size: 1.1rem; margin: 0 0 0.5rem; }
.subtitle { color: #555; margin-top: 0; }
#problems { border: 2px solid #b3261e; border-radius: 6px; padding: 0.5rem 1rem; background: #fdf3f2; }
#problems.none { border-color: #2e7d32; background: #f1f8f1; }
#problems h2 { border: 0; margin-top: 0.5rem; }
.problems li, #problem-list li { color: #8c1d18; }
.notes li { color: #555; }
.greeting { border: 1px solid #ccc; border-radius: 6px; padding: 0.8rem 1rem; margin: 1rem 0; }
.greeting.has-problems { border-left: 6px solid #b3261e; }
.player { display: flex; flex-wrap: wrap; align-items: center; gap: 0.5rem 1rem; margin: 0.4rem 0; }
.player label { min-width: 16rem; font-weight: 600; }
.files { display: grid; grid-template-columns: repeat(auto-fill, minmax(30rem, 1fr)); gap: 0 1.5rem; }
.datafile { margin: 0.8rem 0 0; padding-top: 0.6rem; border-top: 1px dashed #ccc; }
.datafile svg { max-width: 100%; height: auto; display: block; }
dl.measures { display: grid; grid-template-columns: max-content 1fr max-content 1fr; gap: 0.1rem 1rem; margin: 0.4rem 0; }
dl.measures dt { color: #555; }
dl.measures dd { margin: 0; font-variant-numeric: tabular-nums; }
pre.details { white-space: pre-wrap; background: #f6f6f6; padding: 0.4rem; margin: 0.3rem 0; }
#controls { display: flex; gap: 1.5rem; align-items: center; margin: 1rem 0; }
a:focus, audio:focus, select:focus, input:focus { outline: 3px solid #2a6fb0; outline-offset: 2px; }
@media print {
  #controls, audio { display: none; }
  body { max-width: none; padding: 0; font-size: 10pt; }
  .greeting { border-color: #888; }
  .datafile { break-inside: avoid; }
  a { color: inherit; text-decoration: none; }
  h2 { break-after: avoid; }
}
)css";

const char* const REPORT_SCRIPT = R"js(
(function () {
  "use strict";
  var body = document.body;
  function noteError(text) {
    body.setAttribute("data-script-errors", (body.getAttribute("data-script-errors") || "") + text + "\n");
  }
  window.addEventListener("error", function (event) { noteError(String(event.message)); });

  var loaded = 0;
  Array.prototype.forEach.call(document.querySelectorAll("audio"), function (player) {
    function read() {
      player.setAttribute("data-loaded-seconds", player.duration.toFixed(3));
      body.setAttribute("data-players-loaded", String(++loaded));
    }
    if (player.readyState >= 1) { read(); } else { player.addEventListener("loadedmetadata", read); }
    player.addEventListener("error", function () { player.setAttribute("data-load-error", "true"); });
    player.addEventListener("ended", function () {
      if (!document.getElementById("play-next").checked) { return; }
      var all = Array.prototype.slice.call(document.querySelectorAll("audio"));
      var next = all[all.indexOf(player) + 1];
      if (next) { next.focus(); next.play(); }
    });
  });

  var keys = {
    order: function (a) { return Number(a.getAttribute("data-order")); },
    problems: function (a) { return -Number(a.getAttribute("data-problems")); },
    level: function (a) { return -Number(a.getAttribute("data-level-offset") || "0"); },
    name: function (a) { return a.getAttribute("data-name"); }
  };
  var sort = document.getElementById("sort");
  sort.addEventListener("change", function () {
    var key = keys[sort.value];
    Array.prototype.forEach.call(document.querySelectorAll(".attendant"), function (section) {
      var items = Array.prototype.slice.call(section.querySelectorAll(":scope > .greeting"));
      items.sort(function (a, b) {
        var x = key(a), y = key(b);
        return x < y ? -1 : x > y ? 1 : keys.order(a) - keys.order(b);
      });
      items.forEach(function (item) { section.appendChild(item); });
    });
  });
  document.getElementById("controls").hidden = false;
})();
)js";

}  // namespace quen::tool
