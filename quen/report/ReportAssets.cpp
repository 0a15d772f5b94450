// Kept small and free of any library: the page must open the same in ten years.
#include "quen/report/ReportAssets.h"

namespace quen::tool {

// From a 360 px phone to a desktop without sideways scrolling: grids take as many
// columns as fit, long names break anywhere, and the summary's rows become small
// blocks on a narrow screen. Printed, players go and cards are kept whole.
const char* const REPORT_STYLE = R"css(
:root { color-scheme: light; font-family: system-ui, sans-serif; line-height: 1.4; }
body { margin: 0 auto; max-width: 72rem; padding: 1rem clamp(0.5rem, 3vw, 1.5rem) 3rem; color: #1b1b1b; overflow-wrap: anywhere; }
h1 { font-size: 1.6rem; margin-bottom: 0.2rem; }
h2 { font-size: 1.3rem; border-bottom: 2px solid #2a6fb0; padding-bottom: 0.2rem; margin-top: 2rem; }
h3 { font-size: 1.1rem; margin: 0 0 0.5rem; }
h4 { font-size: 1rem; margin: 0 0 0.3rem; }
code { font-size: 0.9em; }
.subtitle { color: #555; margin-top: 0; }
#summary-table { border-collapse: collapse; width: 100%; font-variant-numeric: tabular-nums; }
#summary-table th, #summary-table td { text-align: left; padding: 0.2rem 0.5rem; border-bottom: 1px solid #ddd; vertical-align: top; }
#summary-table th button { font: inherit; font-weight: 600; background: none; border: 0; padding: 0; cursor: pointer; color: inherit; text-align: left; }
#summary-table th[aria-sort] button::after { content: " \25B4"; }
#summary-table th[aria-sort="descending"] button::after { content: " \25BE"; }
#summary-table td[data-bad] { color: #8c1d18; font-weight: 600; }
#problems { border: 2px solid #b3261e; border-radius: 6px; padding: 0.5rem 1rem; background: #fdf3f2; margin-top: 1.5rem; }
#problems.none { border-color: #2e7d32; background: #f1f8f1; }
#problems h2 { border: 0; margin-top: 0.5rem; }
#problem-list, #problem-list ul { padding-left: 1.2rem; }
.problem-group { margin: 0.4rem 0; }
.problems li, #problem-list .problem { color: #8c1d18; }
.do { color: #1b1b1b; display: block; }
.do code { background: #fff; border: 1px solid #ddd; padding: 0 0.2rem; }
.notes li { color: #555; }
.greeting { border: 1px solid #ccc; border-radius: 6px; padding: 0.6rem clamp(0.4rem, 2vw, 1rem); margin: 1rem 0; }
.greeting.has-problems { border-left: 6px solid #b3261e; }
.player { display: flex; flex-wrap: wrap; align-items: center; gap: 0.2rem 1rem; margin: 0.3rem 0; }
.player label { font-weight: 600; }
audio { width: 100%; max-width: 22rem; height: 2.2rem; }
.files { display: grid; grid-template-columns: repeat(auto-fill, minmax(min(100%, 24rem), 1fr)); gap: 0 1.5rem; }
.datafile { margin: 0.6rem 0 0; padding-top: 0.5rem; border-top: 1px dashed #ccc; min-width: 0; }
figure.wave { margin: 0.3rem 0; display: grid; grid-template-columns: 2rem minmax(0, 1fr); column-gap: 0.3rem; font-size: 0.75rem; color: #444; }
figure.wave .levels { position: relative; height: 6rem; }
figure.wave .levels span { position: absolute; right: 0; transform: translateY(-50%); line-height: 1; white-space: nowrap; }
figure.wave .plot { margin-right: 0.8rem; }
figure.wave svg { display: block; width: 100%; height: 6rem; border: 1px solid #999; box-sizing: border-box; }
figure.wave .times { position: relative; height: 1.1rem; }
figure.wave .times span { position: absolute; top: 0.1rem; transform: translateX(-50%); white-space: nowrap; }
figure.wave figcaption { grid-column: 2; }
dl.measures { display: grid; grid-template-columns: max-content minmax(0, 1fr); gap: 0 0.8rem; margin: 0.3rem 0; }
dl.measures dt { color: #555; }
dl.measures dd { margin: 0; font-variant-numeric: tabular-nums; }
pre.details { white-space: pre-wrap; background: #f6f6f6; padding: 0.4rem; margin: 0.3rem 0; }
#controls { display: flex; gap: 1.5rem; align-items: center; margin: 1rem 0; }
a:focus, audio:focus, button:focus, input:focus { outline: 3px solid #2a6fb0; outline-offset: 2px; }
@media (min-width: 34rem) {
  dl.measures { grid-template-columns: max-content minmax(0, 1fr) max-content minmax(0, 1fr); }
}
@media (max-width: 46rem) {
  #summary-table thead { display: none; }
  #summary-table, #summary-table tbody, #summary-table tr { display: block; }
  #summary-table tr { display: grid; grid-template-columns: repeat(auto-fill, minmax(9rem, 1fr)); padding: 0.3rem 0; border-bottom: 1px solid #ccc; }
  #summary-table td { border: 0; padding: 0 0.3rem; }
  #summary-table td::before { content: attr(data-label) ": "; color: #555; }
}
@media print {
  #controls, .player, .same { display: none; }
  body { max-width: none; padding: 0; font-size: 10pt; }
  .greeting { border-color: #888; margin: 0.5rem 0; }
  .files { grid-template-columns: 1fr 1fr; }
  .datafile { break-inside: avoid; }
  figure.wave svg, figure.wave .levels { height: 3.5rem; }
  figure.wave .levels span:nth-child(n+3) { display: none; }
  dl.measures { grid-template-columns: max-content minmax(0, 1fr) max-content minmax(0, 1fr); font-size: 8.5pt; }
  a { color: inherit; text-decoration: none; }
  h2, h3 { break-after: avoid; }
  #summary-table tr { break-inside: avoid; }
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

  // Audio embedded once for an earlier player of the same audio.
  Array.prototype.forEach.call(document.querySelectorAll("audio[data-same-as]"), function (player) {
    var first = document.getElementById(player.getAttribute("data-same-as"));
    player.setAttribute("src", first.getAttribute("src"));
    player.nextElementSibling.hidden = true;
  });

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

  // The summary sorts by any column: numbers by their value, words as words; a second
  // click turns the order round. Rows without a number go last either way.
  var table = document.getElementById("summary-table");
  var tbody = table.tBodies[0];
  var headings = Array.prototype.slice.call(table.tHead.rows[0].cells);
  function value(row, column) {
    var cell = row.cells[column];
    var number = cell.getAttribute("data-value");
    return number !== null ? Number(number) : cell.textContent.trim().toLowerCase();
  }
  headings.forEach(function (heading, column) {
    var button = document.createElement("button");
    button.type = "button";
    button.textContent = heading.textContent;
    heading.textContent = "";
    heading.appendChild(button);
    button.addEventListener("click", function () {
      var descending = heading.getAttribute("aria-sort") === "ascending";
      headings.forEach(function (other) { other.removeAttribute("aria-sort"); });
      heading.setAttribute("aria-sort", descending ? "descending" : "ascending");
      var rows = Array.prototype.slice.call(tbody.rows);
      rows.sort(function (a, b) {
        var x = value(a, column), y = value(b, column);
        if (typeof x !== typeof y) { return typeof x === "number" ? -1 : 1; }
        var order = x < y ? -1 : x > y ? 1 : 0;
        return (descending ? -order : order) || value(a, 0) - value(b, 0);
      });
      rows.forEach(function (row) { tbody.appendChild(row); });
    });
  });
  document.getElementById("controls").hidden = false;
})();
)js";

}  // namespace quen::tool
