// The page view of the HTML report: layers of the page, zoom and pan, the component under
// the pointer, histograms and the table of the largest components. Its data comes from the
// page's data script (window.vorlanePage): view (its own file name), width, height, layers
// [{id, label, src}] and components [[left, top, width, height, size, x, y], ...]; its
// neighbours from the order of the page views (window.vorlaneOrder, pages.js).
(function () {
  'use strict';
  var page = window.vorlanePage;
  if (!page) return;
  var SVG = 'http://www.w3.org/2000/svg';
  var W = page.width, H = page.height, comps = page.components;
  var viewport = document.getElementById('viewport');
  var sheet = document.getElementById('sheet');
  var info = document.getElementById('hover-info');
  var scale = 1;

  function el(name, attrs, parent, ns) {
    var e = ns ? document.createElementNS(ns, name) : document.createElement(name);
    for (var k in attrs) e.setAttribute(k, attrs[k]);
    if (parent) parent.appendChild(e);
    return e;
  }

  // ---- Neighbours and keys ----------------------------------------------------------------
  var order = window.vorlaneOrder || [];
  var at = order.indexOf(page.view);
  page.prev = at > 0 ? order[at - 1] : null;
  page.next = at >= 0 && at + 1 < order.length ? order[at + 1] : null;
  [['prev', page.prev], ['next', page.next]].forEach(function (n) {
    var a = document.getElementById(n[0]);
    if (n[1]) { a.href = n[1]; a.hidden = false; }
  });

  // ---- Layers: one picture shown at a time, loaded when first shown ------------------------
  var images = {}, current = null;
  var layerBar = document.getElementById('layers');
  page.layers.forEach(function (layer, i) {
    var label = el('label', { title: 'Key ' + (i + 1) }, layerBar);
    var input = el('input', { type: 'radio', name: 'layer', value: layer.id }, label);
    label.appendChild(document.createTextNode(' ' + layer.label));
    input.addEventListener('change', function () { showLayer(layer.id); });
    var img = el('img', { alt: layer.label, 'data-layer': layer.id, draggable: 'false' }, sheet);
    img.hidden = true;
    images[layer.id] = { img: img, input: input, src: layer.src };
  });
  if (!page.layers.length) layerBar.textContent = 'No pictures of this page. ';

  function showLayer(id) {
    var layer = images[id];
    if (!layer) return;
    if (!layer.img.getAttribute('src')) layer.img.src = layer.src;
    for (var k in images) images[k].img.hidden = k !== id;
    layer.input.checked = true;
    current = id;
    document.body.setAttribute('data-layer', id);
  }

  // ---- Boxes and the outline under the pointer, drawn over the picture ---------------------
  var svg = el('svg', { viewBox: '0 0 ' + W + ' ' + H, preserveAspectRatio: 'none' }, sheet, SVG);
  var d = [];
  for (var i = 0; i < comps.length; ++i) {
    var c = comps[i];
    d.push('M' + c[0] + ' ' + c[1] + 'h' + c[2] + 'v' + c[3] + 'h' + -c[2] + 'z');
  }
  var boxes = el('path', { id: 'boxes', d: d.join(''), 'vector-effect': 'non-scaling-stroke' },
                 svg, SVG);
  var hover = el('rect', { id: 'hover', 'vector-effect': 'non-scaling-stroke' }, svg, SVG);
  hover.style.display = 'none';
  var boxToggle = document.getElementById('show-boxes');
  function showBoxes(on) {
    boxToggle.checked = on;
    boxes.style.display = on ? '' : 'none';
    document.body.setAttribute('data-boxes', on ? 'on' : 'off');
  }
  boxToggle.addEventListener('change', function () { showBoxes(boxToggle.checked); });

  // ---- Zoom and pan: the pictures are drawn at full resolution, scaled by the browser -----
  var zoomLevel = document.getElementById('zoom-level');
  function fitScale() {
    return Math.min((viewport.clientWidth - 4) / W, (viewport.clientHeight - 4) / H) || 1;
  }
  // Sets the scale, keeping the page point under (vx, vy) of the viewport where it is.
  function zoomTo(s, vx, vy) {
    s = Math.max(Math.min(s, 32), Math.min(fitScale(), 1) / 4);
    if (vx === undefined) { vx = viewport.clientWidth / 2; vy = viewport.clientHeight / 2; }
    var px = (viewport.scrollLeft + vx - sheet.offsetLeft) / scale;
    var py = (viewport.scrollTop + vy - sheet.offsetTop) / scale;
    scale = s;
    sheet.style.width = W * s + 'px';
    sheet.style.height = H * s + 'px';
    sheet.className = s >= 2 ? 'pixels' : '';
    viewport.scrollLeft = px * s + sheet.offsetLeft - vx;
    viewport.scrollTop = py * s + sheet.offsetTop - vy;
    zoomLevel.textContent = Math.round(s * 100) + ' %';
  }
  document.getElementById('zoom-fit').onclick = function () { zoomTo(fitScale()); };
  document.getElementById('zoom-one').onclick = function () { zoomTo(1); };
  document.getElementById('zoom-in').onclick = function () { zoomTo(scale * 1.5); };
  document.getElementById('zoom-out').onclick = function () { zoomTo(scale / 1.5); };
  viewport.addEventListener('wheel', function (e) {
    e.preventDefault();
    var r = viewport.getBoundingClientRect();
    zoomTo(scale * Math.pow(1.0015, -e.deltaY), e.clientX - r.left, e.clientY - r.top);
  }, { passive: false });
  var drag = null;
  viewport.addEventListener('mousedown', function (e) {
    if (e.button !== 0) return;
    drag = { x: e.clientX, y: e.clientY, left: viewport.scrollLeft, top: viewport.scrollTop };
    viewport.classList.add('dragging');
    e.preventDefault();
  });
  window.addEventListener('mouseup', function () {
    drag = null;
    viewport.classList.remove('dragging');
  });

  // ---- The component under the pointer: the smallest box holding the point ----------------
  var CELL = 32, cols = Math.ceil(W / CELL) || 1, grid = {};
  for (i = 0; i < comps.length; ++i) {
    c = comps[i];
    for (var gy = Math.floor(c[1] / CELL); gy <= Math.floor((c[1] + c[3] - 1) / CELL); ++gy)
      for (var gx = Math.floor(c[0] / CELL); gx <= Math.floor((c[0] + c[2] - 1) / CELL); ++gx)
        (grid[gy * cols + gx] = grid[gy * cols + gx] || []).push(i);
  }
  function componentAt(x, y) {
    var cell = grid[Math.floor(y / CELL) * cols + Math.floor(x / CELL)] || [], best = -1;
    for (var k = 0; k < cell.length; ++k) {
      var c = comps[cell[k]];
      if (x < c[0] || y < c[1] || x >= c[0] + c[2] || y >= c[1] + c[3]) continue;
      if (best < 0 || c[2] * c[3] < comps[best][2] * comps[best][3]) best = cell[k];
    }
    return best;
  }
  function outline(index) {
    if (index < 0) {
      hover.style.display = 'none';
      info.textContent = 'Point at a component.';
      document.body.removeAttribute('data-component');
      return;
    }
    var c = comps[index];
    hover.setAttribute('x', c[0]);
    hover.setAttribute('y', c[1]);
    hover.setAttribute('width', c[2]);
    hover.setAttribute('height', c[3]);
    hover.style.display = '';
    info.textContent = 'component ' + (index + 1) + ' of ' + comps.length +
        '\nbox     ' + c[0] + ', ' + c[1] + '  ' + c[2] + ' \u00d7 ' + c[3] +
        '\nsize    ' + c[4] + ' pixels' +
        '\ncentre  ' + c[5].toFixed(2) + ', ' + c[6].toFixed(2);
    document.body.setAttribute('data-component', index);
  }
  viewport.addEventListener('mousemove', function (e) {
    if (drag) {
      viewport.scrollLeft = drag.left - (e.clientX - drag.x);
      viewport.scrollTop = drag.top - (e.clientY - drag.y);
      return;
    }
    var r = sheet.getBoundingClientRect();
    var x = (e.clientX - r.left) / scale, y = (e.clientY - r.top) / scale;
    outline(x >= 0 && y >= 0 && x < W && y < H ? componentAt(x, y) : -1);
  });
  viewport.addEventListener('mouseleave', function () { if (!drag) outline(-1); });

  // ---- Histograms --------------------------------------------------------------------------
  // bins: [{label, count}]; drawn as bars with the counts on a logarithmic axis, so that the
  // few large components still show beside thousands of specks.
  function histogram(target, bins, caption) {
    var most = 1, bw = 300 / bins.length;
    bins.forEach(function (b) { most = Math.max(most, b.count); });
    var s = el('svg', { viewBox: '0 0 320 150', 'class': 'histogram', role: 'img',
                        'aria-label': caption }, target, SVG);
    bins.forEach(function (b, k) {
      var h = Math.log(1 + b.count) / Math.log(1 + most) * 110;
      var r = el('rect', { x: 10 + k * bw + 0.5, y: 120 - h, width: Math.max(bw - 1, 0.5),
                           height: h }, s, SVG);
      el('title', {}, r, SVG).textContent = b.label + ': ' + b.count;
    });
    var step = Math.ceil(bins.length / 6);
    for (var k = 0; k < bins.length; k += step)
      el('text', { x: 10 + k * bw, y: 134 }, s, SVG).textContent = bins[k].label.split('\u2013')[0];
    el('text', { x: 10, y: 148 }, s, SVG).textContent = caption + ' (log count, largest bar ' + most + ')';
  }
  var sizeBins = [], heightBins = [], top = 1;
  comps.forEach(function (c) {
    var b = Math.floor(Math.log2(Math.max(c[4], 1)));
    while (sizeBins.length <= b) {
      var lo = Math.pow(2, sizeBins.length);
      sizeBins.push({ label: lo + '\u2013' + (2 * lo - 1), count: 0 });
    }
    sizeBins[b].count++;
    top = Math.max(top, c[3]);
  });
  var hstep = Math.max(1, Math.ceil(top / 40));
  for (var h = 1; h <= top; h += hstep)
    heightBins.push({ label: hstep > 1 ? h + '\u2013' + (h + hstep - 1) : '' + h, count: 0 });
  comps.forEach(function (c) { heightBins[Math.floor((c[3] - 1) / hstep)].count++; });
  histogram(document.getElementById('size-histogram'), sizeBins, 'pixels per component');
  histogram(document.getElementById('height-histogram'), heightBins, 'height in pixels');

  // ---- The largest components, sortable -----------------------------------------------------
  var table = document.getElementById('largest');
  var columns = [['#', -1], ['left', 0], ['top', 1], ['width', 2], ['height', 3], ['size', 4]];
  var largest = comps.map(function (c, k) { return k; })
      .sort(function (a, b) { return comps[b][4] - comps[a][4] || a - b; }).slice(0, 100);
  var sortBy = 4, descending = true;
  var head = el('tr', {}, el('thead', {}, table));
  var body = el('tbody', {}, table);
  columns.forEach(function (col) {
    var th = el('th', { 'data-column': col[0] }, head);
    th.textContent = col[0];
    th.onclick = function () {
      descending = sortBy === col[1] ? !descending : col[1] !== -1;
      sortBy = col[1];
      fillTable();
    };
  });
  function fillTable() {
    var key = function (k) { return sortBy < 0 ? k : comps[k][sortBy]; };
    largest.sort(function (a, b) { return (descending ? key(b) - key(a) : key(a) - key(b)) || a - b; });
    body.textContent = '';
    largest.forEach(function (k) {
      var tr = el('tr', { 'data-index': k }, body);
      [k + 1].concat(comps[k].slice(0, 5)).forEach(function (v) {
        el('td', {}, tr).textContent = v;
      });
      tr.onclick = function () { reveal(k); };
    });
    head.querySelectorAll('th').forEach(function (th, n) {
      th.textContent = columns[n][0] + (columns[n][1] === sortBy ? (descending ? ' \u25bc' : ' \u25b2') : '');
    });
  }
  // Outlines component k and scrolls it into the middle of the viewport.
  function reveal(k) {
    var c = comps[k];
    outline(k);
    viewport.scrollLeft = (c[0] + c[2] / 2) * scale + sheet.offsetLeft - viewport.clientWidth / 2;
    viewport.scrollTop = (c[1] + c[3] / 2) * scale + sheet.offsetTop - viewport.clientHeight / 2;
    body.querySelectorAll('tr').forEach(function (tr) {
      tr.classList.toggle('picked', +tr.getAttribute('data-index') === k);
    });
  }
  fillTable();

  // ---- Keys ----------------------------------------------------------------------------------
  document.addEventListener('keydown', function (e) {
    if (e.altKey || e.ctrlKey || e.metaKey) return;
    if (e.target && e.target.tagName === 'INPUT' && e.target.type !== 'radio' &&
        e.target.type !== 'checkbox') return;
    var n = parseInt(e.key, 10);
    if (e.key === 'ArrowLeft' && page.prev) location.href = page.prev;
    else if (e.key === 'ArrowRight' && page.next) location.href = page.next;
    else if (e.key === '+' || e.key === '=') zoomTo(scale * 1.5);
    else if (e.key === '-') zoomTo(scale / 1.5);
    else if (e.key === '0') zoomTo(fitScale());
    else if (e.key === 'b' || e.key === 'B') showBoxes(!boxToggle.checked);
    else if (n >= 1 && n <= page.layers.length) showLayer(page.layers[n - 1].id);
    else return;
    e.preventDefault();
  });

  showBoxes(false);
  if (page.layers.length) {
    var preferred = ['overlay', 'bilevel', 'grey', 'original', 'components'];
    for (i = 0; i < preferred.length && !images[preferred[i]]; ++i);
    showLayer(i < preferred.length ? preferred[i] : page.layers[0].id);
  }
  zoomTo(fitScale());
  viewport.scrollLeft = viewport.scrollTop = 0;
  document.body.setAttribute('data-ready', 'true');
})();
