#include "report/page_script.h"

#include <string>

namespace orvane::engine::report {
namespace {

// Two literals: some compilers limit the length of one.
constexpr char kScript[] = R"JS(
(function () {
  'use strict';
  var source = document.getElementById('tree-data');
  var mapSection = document.getElementById('map');
  if (!source || !mapSection) return;
  var data = JSON.parse(source.textContent);
  var F = data.f;
  if (!F.length) return;
  var NAME = 0, PARENT = 1, SIZE = 2, FILES = 3, OTHER = 4, OTHER_FOLDERS = 5, FILE_LIST = 6;
  var SVG = 'http://www.w3.org/2000/svg';
  var WIDTH = 1000, HEIGHT = 560;
  var PALETTE = ['#4e79a7', '#f28e2b', '#59a14f', '#e15759', '#b07aa1',
                 '#76b7b2', '#edc948', '#ff9da7', '#9c755f', '#8cd17d'];
  var kids = F.map(function () { return []; });
  for (var i = 1; i < F.length; i++) kids[F[i][PARENT]].push(i);
  var typeColour = {};
  data.types.slice(0, PALETTE.length).forEach(function (t, k) { typeColour[t[0]] = PALETTE[k]; });
  var sortKey = 'size', sortUp = false;

  function el(tag, cls, text) {
    var e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  }
  function svgEl(tag, attrs) {
    var e = document.createElementNS(SVG, tag);
    for (var k in attrs) e.setAttribute(k, attrs[k]);
    return e;
  }
  function human(bytes) {
    if (bytes < 1024) return bytes + (bytes === 1 ? ' byte' : ' bytes');
    var units = ['KB', 'MB', 'GB', 'TB', 'PB', 'EB'], value = bytes / 1024, u = 0;
    while (value >= 1023.95 && u + 1 < units.length) { value /= 1024; u++; }
    return value.toFixed(1) + ' ' + units[u];
  }
  function exact(bytes) { return bytes.toLocaleString('en-US') + ' bytes'; }
  function share(part, whole) { return whole > 0 ? (100 * part / whole).toFixed(1) + '%' : '0.0%'; }
  function extension(name) {
    var dot = name.lastIndexOf('.');
    if (dot <= 0 || dot + 1 === name.length || name.length - dot - 1 > 16) return '';
    return name.slice(dot + 1).toLowerCase();
  }
  function join(base, name) {
    return base.slice(-1) === data.sep ? base + name : base + data.sep + name;
  }
  function pathOf(f) {
    var chain = [];
    for (var at = f; at >= 0; at = F[at][PARENT]) chain.push(F[at][NAME]);
    var path = chain.pop();
    while (chain.length) path = join(path, chain.pop());
    return path;
  }

  // What a folder's rectangle holds: its kept subfolders, its largest files
  // and the rest (its other files and the subfolders too small to keep).
  function itemsOf(f) {
    var items = kids[f].map(function (k) {
      return {kind: 'folder', f: k, name: F[k][NAME], size: F[k][SIZE], files: F[k][FILES]};
    });
    var listed = F[f][FILE_LIST], rest = F[f][OTHER];
    for (var j = 0; j < listed.length; j += 2) {
      items.push({kind: 'file', name: listed[j], size: listed[j + 1], files: 1});
      rest -= listed[j + 1];
    }
    var restFiles = F[f][FILES];
    kids[f].forEach(function (k) { restFiles -= F[k][FILES]; });
    restFiles -= listed.length / 2;
    // What the rest is: the folder's own entry always, with whatever the
    // report did not keep by name.
    var folders = F[f][OTHER_FOLDERS];
    var restName = restFiles > 0 && folders > 0 ? 'other files and smaller folders'
                 : restFiles > 0 ? 'other files' : folders > 0 ? 'smaller folders' : 'the folder itself';
    if (rest > 0 || restFiles > 0)
      items.push({kind: 'rest', name: restName, size: Math.max(rest, 0), files: restFiles});
    return items;
  }

  function worst(sum, small, large, side) {
    var s2 = side * side, q2 = sum * sum;
    return Math.max(s2 * large / q2, q2 / (s2 * small));
  }
  function placeRow(row, sum, free) {
    var horizontal = free.w >= free.h, thick = horizontal ? sum / free.h : sum / free.w;
    var at = horizontal ? free.y : free.x;
    row.forEach(function (item) {
      var length = thick > 0 ? item.area / thick : 0;
      item.rect = horizontal ? {x: free.x, y: at, w: thick, h: length}
                             : {x: at, y: free.y, w: length, h: thick};
      at += length;
    });
    if (horizontal) { free.x += thick; free.w = Math.max(0, free.w - thick); }
    else { free.y += thick; free.h = Math.max(0, free.h - thick); }
  }
  // Squarified, as the page's static map: rectangles close to squares.
  function squarify(items, bounds) {
    var total = 0;
    items.forEach(function (it) { total += it.size; });
    var shown = items.filter(function (it) { return it.size > 0; })
                     .sort(function (a, b) { return b.size - a.size; });
    if (total <= 0) return [];
    var scale = bounds.w * bounds.h / total, free = {x: bounds.x, y: bounds.y, w: bounds.w, h: bounds.h};
    var row = [], sum = 0, small = 0, large = 0;
    shown.forEach(function (it) {
      it.area = it.size * scale;
      var side = Math.min(free.w, free.h);
      if (row.length && worst(sum + it.area, Math.min(small, it.area), Math.max(large, it.area), side) >
                        worst(sum, small, large, side)) {
        placeRow(row, sum, free);
        row = [];
      }
      if (!row.length) { sum = 0; small = large = it.area; }
      row.push(it);
      sum += it.area;
      small = Math.min(small, it.area);
      large = Math.max(large, it.area);
    });
    if (row.length) placeRow(row, sum, free);
    return shown;
  }

  function fillOf(item, k, inner) {
    if (item.kind === 'folder') return 'hsl(' + ((k * 67 + 200) % 360) + ',45%,' + (inner ? 74 : 62) + '%)';
    if (item.kind === 'rest') return '#d5d5d5';
    var colour = typeColour[extension(item.name)];
    return colour || '#a9a9a9';
  }

  function open(f) { location.hash = '#f=' + f; }

  // A folder's own contents drawn inside its rectangle, one level deep, so
  // the map shows where inside it the space went before it is opened.
  function drawInside(g, item, k, labelled) {
    var r = item.rect, top = labelled ? (r.h >= 40 ? 28 : 15) : 1;
    var inner = {x: r.x + 2, y: r.y + top, w: r.w - 4, h: r.h - top - 2};
    if (inner.w < 6 || inner.h < 6) return;
    squarify(itemsOf(item.f), inner).forEach(function (part) {
      var p = part.rect;
      if (p.w < 1 || p.h < 1) return;
      g.appendChild(svgEl('rect', {x: p.x.toFixed(1), y: p.y.toFixed(1), width: p.w.toFixed(1),
                                   height: p.h.toFixed(1), fill: fillOf(part, k, true), 'class': 'inner'}));
    });
  }

  function cell(item, k, parentSize) {
    var r = item.rect, g = svgEl('g', {'class': 'x-' + item.kind});
    var title = svgEl('title', {});
    title.textContent = item.name + ' \u2014 ' + human(item.size) + ' (' + exact(item.size) + ', ' +
                        share(item.size, parentSize) + ')';
    g.appendChild(title);
    g.appendChild(svgEl('rect', {x: r.x.toFixed(1), y: r.y.toFixed(1), width: r.w.toFixed(1),
                                 height: r.h.toFixed(1), fill: fillOf(item, k)}));
    var labelled = r.w >= 44 && r.h >= 14;
    if (item.kind === 'folder') drawInside(g, item, k, labelled);
    if (labelled) {
      var chars = Math.max(1, Math.floor((r.w - 6) / 7));
      var label = item.name.length > chars ? item.name.slice(0, chars - 1) + '\u2026' : item.name;
      var text = svgEl('text', {x: (r.x + 3).toFixed(1), y: (r.y + 12).toFixed(1)});
      text.textContent = label;
      g.appendChild(text);
      if (r.h >= 40) {
        var size = svgEl('text', {x: (r.x + 3).toFixed(1), y: (r.y + 25).toFixed(1), 'class': 'size'});
        size.textContent = human(item.size);
        g.appendChild(size);
      }
    }
    if (item.kind === 'folder') {
      g.setAttribute('tabindex', '0');
      g.setAttribute('role', 'link');
      g.setAttribute('aria-label', 'Open ' + item.name + ', ' + human(item.size));
      g.dataset.f = item.f;
      g.addEventListener('click', function () { open(item.f); });
      g.addEventListener('keydown', function (e) { if (e.key === 'Enter' || e.key === ' ') { e.preventDefault(); open(item.f); } });
    }
    return g;
  }

  // --- the explorer's parts, made once ---
  var box = el('div', 'explore');
  box.id = 'explore';
  var crumbs = el('nav', 'crumbs');
  crumbs.setAttribute('aria-label', 'Path');
  var headline = el('p', 'focus');
  var svg = svgEl('svg', {'class': 'map live', viewBox: '0 0 ' + WIDTH + ' ' + HEIGHT, role: 'group',
                          'aria-label': 'Folder map'});
  var legend = el('ul', 'legend');
  var table = el('table', 'list');
  table.id = 'focus-list';
  var finder = el('div', 'finder');
  var findLabel = el('label', null, 'Find by name ');
  var findBox = el('input');
  findBox.type = 'search';
  findBox.id = 'find';
  findBox.placeholder = 'part of a folder or file name';
  findBox.autocomplete = 'off';
  findLabel.appendChild(findBox);
  var found = el('ol', 'hits');
  found.id = 'found';
  var foundNote = el('p', 'note');
  finder.appendChild(findLabel);
  finder.appendChild(foundNote);
  finder.appendChild(found);
  [finder, crumbs, headline, svg, legend, table].forEach(function (part) { box.appendChild(part); });

)JS"
                           R"JS(  function fillLegend() {
    var types = data.types.slice(0, PALETTE.length);
    var entries = types.map(function (t) {
      return [t[0] ? '.' + t[0] : '(no extension)', typeColour[t[0]], t[1]];
    });
    entries.push(['other types', '#a9a9a9', -1], ['other files and smaller folders', '#d5d5d5', -1]);
    entries.forEach(function (entry) {
      var li = el('li');
      var key = el('span', 'key');
      key.style.background = entry[1];
      li.appendChild(key);
      li.appendChild(document.createTextNode(entry[0] + (entry[2] >= 0 ? ' (' + human(entry[2]) + ')' : '')));
      legend.appendChild(li);
    });
  }

  function fillCrumbs(f) {
    crumbs.textContent = '';
    var chain = [];
    for (var at = f; at >= 0; at = F[at][PARENT]) chain.unshift(at);
    chain.forEach(function (at, k) {
      if (k > 0) crumbs.appendChild(el('span', 'sep', ' \u203a '));
      if (at === f) {
        var here = el('strong', null, F[at][NAME]);
        here.setAttribute('aria-current', 'page');
        crumbs.appendChild(here);
      } else {
        var a = el('a', null, F[at][NAME]);
        a.href = '#f=' + at;
        crumbs.appendChild(a);
      }
    });
  }

  var COLUMNS = [['name', 'name'], ['size', 'size'], ['share', 'share'], ['files', 'files']];
  function fillList(f, items) {
    table.textContent = '';
    var head = el('tr');
    COLUMNS.forEach(function (c) {
      var th = el('th', c[0] === 'name' ? null : 'n');
      var button = el('button', 'sort', c[1] + (sortKey === c[0] || (sortKey === 'size' && c[0] === 'share') ? (sortUp ? ' \u25b2' : ' \u25bc') : ''));
      button.type = 'button';
      button.addEventListener('click', function () {
        var key = c[0] === 'share' ? 'size' : c[0];
        sortUp = sortKey === key ? !sortUp : key === 'name';
        sortKey = key;
        fillList(f, items);
      });
      th.appendChild(button);
      head.appendChild(th);
    });
    table.appendChild(head);
    var rows = items.slice().sort(function (a, b) {
      var d = sortKey === 'name' ? a.name.localeCompare(b.name) : a[sortKey] - b[sortKey];
      if (a.kind === 'rest' || b.kind === 'rest') return a.kind === 'rest' ? 1 : -1;
      return sortUp ? d : -d;
    });
    rows.forEach(function (item) {
      var tr = el('tr', 'x-' + item.kind), name = el('td', 'path');
      if (item.kind === 'folder') {
        var a = el('a', null, item.name);
        a.href = '#f=' + item.f;
        name.appendChild(a);
      } else {
        name.textContent = item.name;
        if (item.kind === 'file') name.appendChild(el('small', null, ' (file)'));
      }
      tr.appendChild(name);
      var size = el('td', 'n', human(item.size));
      size.title = exact(item.size);
      tr.appendChild(size);
      tr.appendChild(el('td', 'n', share(item.size, F[f][SIZE])));
      tr.appendChild(el('td', 'n', item.files.toLocaleString('en-US')));
      table.appendChild(tr);
    });
  }

  function render(f) {
    var items = itemsOf(f);
    fillCrumbs(f);
    headline.textContent = pathOf(f) + ' \u2014 ' + human(F[f][SIZE]) + ', ' +
                           share(F[f][SIZE], F[0][SIZE]) + ' of the whole, ' +
                           F[f][FILES].toLocaleString('en-US') + ' files';
    while (svg.firstChild) svg.removeChild(svg.firstChild);
    var shown = squarify(items, {x: 0, y: 0, w: WIDTH, h: HEIGHT});
    shown.forEach(function (item, k) {
      if (item.rect.w >= 0.5 && item.rect.h >= 0.5) svg.appendChild(cell(item, k, F[f][SIZE]));
    });
    fillList(f, items);
  }

  function focusFromAddress() {
    var m = /^#f=(\d+)$/.exec(location.hash);
    var f = m ? Number(m[1]) : 0;
    return f < F.length ? f : 0;
  }

  function search() {
    var q = findBox.value.trim().toLowerCase();
    found.textContent = '';
    foundNote.textContent = '';
    if (q.length < 2) return;
    var hits = [];
    for (var f = 0; f < F.length; f++) {
      if (F[f][NAME].toLowerCase().indexOf(q) >= 0) hits.push({f: f, name: F[f][NAME], size: F[f][SIZE], file: false});
      var listed = F[f][FILE_LIST];
      for (var j = 0; j < listed.length; j += 2) {
        if (listed[j].toLowerCase().indexOf(q) >= 0) hits.push({f: f, name: listed[j], size: listed[j + 1], file: true});
      }
    }
    hits.sort(function (a, b) { return b.size - a.size; });
    foundNote.textContent = hits.length ? hits.length.toLocaleString('en-US') + (hits.length === 1 ? ' match' : ' matches') +
                            (hits.length > 50 ? ', the 50 largest:' : ':') : 'No kept folder or file has that in its name.';
    hits.slice(0, 50).forEach(function (hit) {
      var li = el('li'), a = el('a', null, hit.file ? join(pathOf(hit.f), hit.name) : pathOf(hit.f));
      a.href = '#f=' + hit.f;
      li.appendChild(a);
      li.appendChild(el('span', 'n', ' ' + human(hit.size) + (hit.file ? ' (file)' : '')));
      found.appendChild(li);
    });
  }

  findBox.addEventListener('input', search);
  window.addEventListener('hashchange', function () {
    render(focusFromAddress());
    box.scrollIntoView({block: 'nearest'});
  });
  var staticMap = mapSection.querySelector('svg.map');
  if (staticMap) staticMap.classList.add('replaced');
  var note = mapSection.querySelector('p.note');
  if (note) note.textContent = 'Each rectangle is a folder or a file, its area its size; click a folder to open it, ' +
                               'and the path above the map (or Back) to go up. Files are coloured by type.';
  mapSection.appendChild(box);
  fillLegend();
  render(focusFromAddress());
})();
)JS";

}  // namespace

// A checkout that turned the line ends of this file into CR LF would give
// the script other bytes than the browser hashes (it reads CR LF as LF).
std::string_view ExploreScript() {
    static const std::string script = [] {
        std::string text(kScript);
        std::erase(text, '\r');
        return text;
    }();
    return script;
}

}  // namespace orvane::engine::report
