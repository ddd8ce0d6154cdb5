#!/usr/bin/env node
// The full-calendar page in a real browser: headless Chromium, driven over the
// DevTools protocol on a pipe (--remote-debugging-pipe: fd 3 in, fd 4 out,
// messages ending in NUL), so the test needs nothing but Node and Chromium.
//
// For a set of dates the browser's clock is fixed and what the page shows is
// compared with what `daybander --date D --format F` prints; the month buttons
// walk a whole year forward and back; the fixed holidays are looked for in
// every month of three 33-year cycles; the converter takes a few thousand
// dates over the clock's range both ways, and refuses wrong ones; a screenshot
// is taken and checked. The command is asked about many dates at once.
//
//   node jcal_browser_test.js --page <jcal.html> --host <daybander>
//        [--chromium /usr/bin/chromium] [--out <folder for the screenshot>]
'use strict';

const { spawn, execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { pathToFileURL } = require('url');

const args = {};
for (let i = 2; i + 1 < process.argv.length; i += 2) args[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
const pagePath = path.resolve(args.page || '');
const hostPath = args.host;
const chromiumPath = args.chromium || '/usr/bin/chromium';
const outDir = path.resolve(args.out || '.');
if (!args.page || !hostPath) {
  console.error('usage: node jcal_browser_test.js --page <jcal.html> --host <daybander> [--chromium P] [--out D]');
  process.exit(2);
}

const failures = [];
let checks = 0;
function check(ok, what) {
  checks += 1;
  if (!ok) {
    failures.push(what);
    console.log('FAIL: ' + what);
  }
}
function checkEqual(actual, expected, what) {
  check(actual === expected, `${what}: expected ${JSON.stringify(expected)}, page shows ${JSON.stringify(actual)}`);
}

// ---- the daybander command ---------------------------------------------------

// The command keeps its registry in a file: this run has one of its own, where
// its first use registers the library.
const hostEnv = Object.assign({}, process.env, {
  DAYBANDER_REGISTRY: path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'jcal-registry-')), 'registry.reg'),
});
const hostCache = new Map();
function host(date, format) {
  const key = date + ' ' + format;
  if (!hostCache.has(key)) {
    const out = execFileSync(hostPath, ['--date', date, '--format', format], { encoding: 'utf8', env: hostEnv });
    hostCache.set(key, out.replace(/\n$/, ''));
  }
  return hostCache.get(key);
}

// The band writes the Persian text in one of two forms: with the Arabic locale,
// day, month name, year in logical order (what a browser shows, as it shapes
// text itself); without it, year, the name in presentation forms in visual
// order, day. The page shows the first; the second is folded back into it.
const persianDigits = '[\u06F0-\u06F9]+';
function logicalPersian(text) {
  const m = new RegExp(`^(${persianDigits})([^\u06F0-\u06F9]+)(${persianDigits})$`).exec(text);
  if (!m) return text;
  if (!/^[\uFE70-\uFEFF]+$/.test(m[2])) return text;
  const name = Array.from(m[2]).reverse().join('').normalize('NFKC');
  return m[3] + name + m[1];
}
// Many dates in one command (show takes --date more than once), for the
// thousands the converter is compared on; the answers join the cache.
function hostMany(dates, format) {
  const todo = [...new Set(dates)].filter((date) => !hostCache.has(date + ' ' + format));
  for (let i = 0; i < todo.length; i += 2000) {
    const chunk = todo.slice(i, i + 2000);
    const out = execFileSync(hostPath, [...chunk.flatMap((date) => ['--date', date]), '--format', format],
                             { encoding: 'utf8', env: hostEnv, maxBuffer: 1 << 26 }).split('\n');
    chunk.forEach((date, j) => hostCache.set(date + ' ' + format, out[j]));
  }
}
// Comparisons with the command wait until settleHostChecks(), which asks it
// for all their dates at once, a command per format.
const hostChecks = [];
function checkByHost(date, format, shown, what) { hostChecks.push({ date, format, shown, what }); }
function settleHostChecks() {
  for (const format of ['persian', 'english', 'numeric']) {
    hostMany(hostChecks.filter((c) => c.format === format).map((c) => c.date), format);
  }
  for (const { date, format, shown, what } of hostChecks.splice(0)) {
    const text = host(date, format);
    checkEqual(shown, format === 'persian' ? logicalPersian(text) : text, `${what}: ${format} text of ${date}`);
  }
}
function toPersianDigits(n) {
  return String(n).replace(/[0-9]/g, (d) => String.fromCharCode(0x06f0 + Number(d)));
}
// "23/1/1387" -> {day, month, year}
function parseNumeric(text) {
  const [day, month, year] = text.split('/').map(Number);
  return { day, month, year };
}

// ---- Gregorian dates, independently of the page ------------------------------

function isoOf(ms) {
  const d = new Date(ms);
  const y = d.getUTCFullYear();
  return `${y < 1000 ? String(y).padStart(4, '0') : y}-${String(d.getUTCMonth() + 1).padStart(2, '0')}-${String(
    d.getUTCDate()).padStart(2, '0')}`;
}
function msOf(iso) {
  const [, y, m, d] = /^(\d+)-(\d\d)-(\d\d)$/.exec(iso);
  const date = new Date(0);
  date.setUTCFullYear(Number(y), Number(m) - 1, Number(d));
  return date.getTime();
}
const DAY = 86400000;
function nextIso(iso) { return isoOf(msOf(iso) + DAY); }
// 0 = Saturday .. 6 = Friday
function persianWeekColumn(iso) { return (new Date(msOf(iso)).getUTCDay() + 1) % 7; }

// ---- Chromium over the DevTools pipe ------------------------------------------

class Browser {
  constructor() {
    this.profile = fs.mkdtempSync(path.join(os.tmpdir(), 'jcal-chromium-'));
    this.proc = spawn(chromiumPath, [
      '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--disable-extensions', '--mute-audio',
      '--remote-debugging-pipe', `--user-data-dir=${this.profile}`, 'about:blank',
    ], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
    this.stderr = '';
    this.proc.stderr.on('data', (chunk) => { this.stderr = (this.stderr + chunk).slice(-20000); });
    this.nextId = 1;
    this.pending = new Map();
    this.waiters = [];
    this.buffer = '';
    this.proc.stdio[4].on('data', (chunk) => this.receive(chunk));
    this.exited = new Promise((resolve) => {
      this.proc.on('exit', resolve);
      this.proc.on('error', (error) => {
        console.log(`FAIL: cannot start ${chromiumPath}: ${error.message}`);
        process.exit(1);
      });
    });
    this.proc.on('exit', (code, signal) => {
      for (const { reject } of this.pending.values()) reject(new Error(`chromium exited (${code ?? signal})`));
      this.pending.clear();
    });
  }

  receive(chunk) {
    this.buffer += chunk.toString('utf8');
    let end;
    while ((end = this.buffer.indexOf('\0')) >= 0) {
      const message = JSON.parse(this.buffer.slice(0, end));
      this.buffer = this.buffer.slice(end + 1);
      if (message.id !== undefined) {
        const call = this.pending.get(message.id);
        this.pending.delete(message.id);
        if (!call) continue;
        if (message.error) call.reject(new Error(`${call.method}: ${message.error.message}`));
        else call.resolve(message.result);
      } else {
        this.waiters = this.waiters.filter((w) => !(w.method === message.method && w.sessionId === message.sessionId &&
                                                     (w.resolve(message.params), true)));
      }
    }
  }

  send(method, params = {}, sessionId = undefined) {
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject, method });
      this.proc.stdio[3].write(JSON.stringify(message) + '\0');
    });
  }

  waitFor(method, sessionId) {
    return new Promise((resolve) => this.waiters.push({ method, sessionId, resolve }));
  }

  async close() {
    try {
      await Promise.race([this.send('Browser.close'), new Promise((r) => setTimeout(r, 3000))]);
    } catch (e) { /* already gone */ }
    const timer = setTimeout(() => this.proc.kill('SIGKILL'), 5000);
    await this.exited;
    clearTimeout(timer);
    fs.rmSync(this.profile, { recursive: true, force: true });
  }
}

class Page {
  constructor(browser, sessionId) {
    this.browser = browser;
    this.sessionId = sessionId;
    this.clockScript = null;
  }

  send(method, params) { return this.browser.send(method, params, this.sessionId); }

  // A browser clock that stands still at `instant` (ms since 1970, UTC):
  // `new Date()` and `Date.now()` give it, every other use of Date is as usual.
  async setClock(instant) {
    if (this.clockScript) await this.send('Page.removeScriptToEvaluateOnNewDocument', { identifier: this.clockScript });
    const source = `(function () {
      var Real = Date, fixed = ${instant};
      function FixedDate(a, b, c, d, e, f, g) {
        if (!(this instanceof FixedDate)) return new Real(fixed).toString();
        switch (arguments.length) {
          case 0: return new Real(fixed);
          case 1: return new Real(a);
          default: return new Real(a, b, arguments.length > 2 ? c : 1, d || 0, e || 0, f || 0, g || 0);
        }
      }
      FixedDate.prototype = Real.prototype;
      FixedDate.now = function () { return fixed; };
      FixedDate.UTC = Real.UTC;
      FixedDate.parse = Real.parse;
      Date = FixedDate;
    })();`;
    this.clockScript = (await this.send('Page.addScriptToEvaluateOnNewDocument', { source })).identifier;
  }

  async load(url) {
    const loaded = this.browser.waitFor('Page.loadEventFired', this.sessionId);
    const result = await this.send('Page.navigate', { url });
    if (result.errorText) throw new Error(`cannot load ${url}: ${result.errorText}`);
    await loaded;
  }

  async evaluate(expression) {
    const result = await this.send('Runtime.evaluate', { expression, returnByValue: true, awaitPromise: true });
    if (result.exceptionDetails) {
      throw new Error(`page script failed: ${result.exceptionDetails.exception?.description || result.exceptionDetails.text}`);
    }
    return result.result.value;
  }

  // What the page shows, as data.
  snapshot() {
    return this.evaluate(`(function () {
      function text(id) { return document.getElementById(id).textContent; }
      var cells = [], rows = document.getElementById('days').rows;
      for (var r = 0; r < rows.length; r++) {
        for (var c = 0; c < rows[r].cells.length; c++) {
          var td = rows[r].cells[c];
          if (!td.getAttribute('data-g')) { cells.push(null); continue; }
          cells.push({ g: td.getAttribute('data-g'), h: td.getAttribute('data-h'), fixed: +td.getAttribute('data-fixed'),
                       classes: td.className, day: td.querySelector('.h').textContent,
                       small: td.querySelector('.g').textContent, row: r, column: c });
        }
      }
      var grid = document.getElementById('grid').getBoundingClientRect();
      return { title: text('title'), span: text('span'), persian: text('fmt-persian'), english: text('fmt-english'),
               numeric: text('fmt-numeric'), when: text('when'),
               prevDisabled: document.getElementById('prev').disabled,
               nextDisabled: document.getElementById('next').disabled,
               weekdays: document.getElementById('weekdays').cells.length,
               rows: rows.length, gridWidth: grid.width, gridHeight: grid.height,
               cells: cells.filter(function (x) { return x; }), blanks: cells.filter(function (x) { return !x; }).length };
    })()`);
  }

  async key(code, name) {
    for (const type of ['rawKeyDown', 'keyUp']) {
      await this.send('Input.dispatchKeyEvent', { type, windowsVirtualKeyCode: code, key: name, code: name });
    }
  }

  click(selector) {
    return this.evaluate(`(function () { var e = document.querySelector(${JSON.stringify(selector)});
      if (!e) return false; e.click(); return true; })()`);
  }
}

// ---- the checks ----------------------------------------------------------------

// The month on view is well formed: every day once, in order, each under its
// weekday, Gregorian dates consecutive, and its first and last day as the
// daybander command converts them.
// `byHost`: 'ends' (first and last day), 'last' or 'none'.
function checkMonth(view, what, byHost = 'ends') {
  const cells = view.cells;
  check(cells.length >= 29 && cells.length <= 31, `${what}: ${cells.length} days in the month`);
  if (cells.length === 0) return;
  const [year, month] = cells[0].h.split('-').map(Number);
  const expectedLength = month <= 6 ? 31 : month <= 11 ? 30 : null;
  if (expectedLength) checkEqual(cells.length, expectedLength, `${what}: length of month ${month}`);
  check(view.weekdays === 7, `${what}: seven weekday headings`);
  cells.forEach((cell, i) => {
    checkEqual(cell.h, `${year}-${month}-${i + 1}`, `${what}: cell ${i + 1}`);
    checkEqual(cell.day, toPersianDigits(i + 1), `${what}: Persian digits of day ${i + 1}`);
    checkEqual(cell.column, persianWeekColumn(cell.g), `${what}: weekday column of ${cell.g}`);
    const gDay = String(Number(cell.g.slice(-2)));
    check(cell.small === gDay || cell.small.startsWith(gDay + ' '), `${what}: small type "${cell.small}" for ${cell.g}`);
    if (i > 0) checkEqual(cell.g, nextIso(cells[i - 1].g), `${what}: Gregorian date after ${cells[i - 1].g}`);
    if (i > 0) checkEqual(cell.fixed, cells[i - 1].fixed + 1, `${what}: day number after ${cells[i - 1].g}`);
  });
  checkEqual(view.title.split(' ').pop(), toPersianDigits(year), `${what}: year in the title`);
  const confirm = byHost === 'ends' ? [cells[0], cells[cells.length - 1]] : byHost === 'last' ? [cells[cells.length - 1]] : [];
  for (const cell of confirm) {
    if (cell.classes.includes('out')) continue;
    checkByHost(cell.g, 'numeric', cell.h.split('-').reverse().join('/'), `${what}: the daybander command`);
  }
}

function checkFormats(view, iso, what) {
  for (const format of ['persian', 'english', 'numeric']) checkByHost(iso, format, view[format], what);
}

// Today, as the page shows it when the clock stands at `instant` and the zone
// is `zone`: the month of `iso`, today marked and selected, its three texts.
async function checkToday(page, iso, instant, zone, what) {
  await page.send('Emulation.setTimezoneOverride', { timezoneId: zone });
  await page.setClock(instant);
  await page.load(pageUrl);
  const view = await page.snapshot();
  const today = view.cells.filter((c) => c.classes.split(' ').includes('today'));
  checkEqual(today.length, 1, `${what}: cells marked today`);
  if (today.length !== 1) return view;
  checkEqual(today[0].g, iso, `${what}: today's Gregorian date`);
  check(today[0].classes.split(' ').includes('selected'), `${what}: today is selected`);
  // The three texts as the command writes them; the cell and the title as
  // those texts say.
  checkFormats(view, iso, what);
  const hijri = parseNumeric(view.numeric);
  checkEqual(today[0].h, `${hijri.year}-${hijri.month}-${hijri.day}`, `${what}: today's Solar Hijri date`);
  // The month name as the band writes it, between the day and the year.
  const name = view.persian.replace(/^[\u06F0-\u06F9]+|[\u06F0-\u06F9]+$/g, '');
  checkEqual(view.title, `${name} ${toPersianDigits(hijri.year)}`, `${what}: title`);
  checkMonth(view, what);
  return view;
}

// The converter, driven as a user drives it: a date typed into one field and
// its Convert button pressed, for many inputs in one call. For each: the two
// fields, the messages, the selected day (its cell) and its Numeric text.
function convert(page, inputs) {
  return page.evaluate(`(function (inputs) {
    function el(id) { return document.getElementById(id); }
    return inputs.map(function (input) {
      var field = input[0], text = input[1];
      el('in-' + field).value = text;
      el('form-' + field).querySelector('button').click();
      var cell = document.querySelector('#days td.selected');
      return { g: el('in-g').value, h: el('in-h').value, msgG: el('msg-g').textContent, msgH: el('msg-h').textContent,
               numeric: el('fmt-numeric').textContent, holiday: el('fmt-holiday').textContent,
               holidayShown: el('holiday').style.display !== 'none',
               cellG: cell && cell.getAttribute('data-g'), cellH: cell && cell.getAttribute('data-h'),
               holidays: [].map.call(document.querySelectorAll('#days td.holiday'), function (td) {
                 return [td.getAttribute('data-h'), td.title.split('\\n')[0]];
               }) };
    });
  })(${JSON.stringify(inputs)})`);
}

const digitsIn = (text, zero) => text.replace(/[0-9]/g, (d) => String.fromCharCode(zero + Number(d)));
const hijriOf = (numeric) => numeric.split('/').reverse().join('/');  // "23/1/1387" -> "1387/1/23"

// The ten official holidays on fixed days, by month and day (Nowruz is four).
const fixedHolidays = ['1-1', '1-2', '1-3', '1-4', '1-12', '1-13', '3-14', '3-15', '11-22', '12-29'];

// Every month of a few 33-year cycles, reached through the Solar Hijri field:
// the fixed holidays are marked in each, with Persian names; the first and last
// day of each month are converted, and then the command must agree with the
// page on both directions, and the months must join without a gap.
async function checkHolidays(page) {
  const names = new Map();
  for (const start of [990, 1386, 30162]) {
    const inputs = [];
    for (let y = start; y < start + 33; y++) {
      for (let m = 1; m <= 12; m++) {
        inputs.push(['h', `${y}/${m}/1`], ['h', `${y}/${m}/${m <= 6 ? 31 : 30}`]);
        if (m === 12) inputs.push(['h', `${y}/12/29`]);
      }
    }
    const results = await convert(page, inputs);
    const boundaries = [];  // [Gregorian date, Solar Hijri y/m/d] of each first and last day
    results.forEach((r, i) => {
      const [y, m, d] = inputs[i][1].split('/').map(Number);
      if (m === 12 && d === 30 && r.msgH) return;  // a common year: its last day is the 29th
      if (m === 12 && d === 29 && !results[i - 1].msgH) return;
      check(r.msgH === '' && r.cellH === `${y}-${m}-${d}`, `converting ${inputs[i][1]}: ${r.msgH} ${r.cellH}`);
      boundaries.push([r.g, `${y}/${m}/${d}`]);
      if (d !== 1) return;
      const expected = fixedHolidays.filter((md) => md.startsWith(m + '-')).map((md) => `${y}-${md}`);
      checkEqual(JSON.stringify(r.holidays.map((h) => h[0])), JSON.stringify(expected), `holidays of ${y}/${m}`);
      for (const [h, name] of r.holidays) {
        const md = h.slice(h.indexOf('-') + 1);
        names.set(md, (names.get(md) || new Set()).add(name));
      }
    });
    boundaries.forEach(([g, h], i) => {
      checkByHost(g, 'numeric', h.split('/').reverse().join('/'), `${h} is ${g}`);
      if (i > 0 && h.endsWith('/1')) checkEqual(g, nextIso(boundaries[i - 1][0]), `${h} follows ${boundaries[i - 1][1]}`);
    });
  }
  // Each holiday has one name in every year, in Persian letters: never
  // ARABIC LETTER YEH or KAF.
  for (const [md, set] of names) {
    check(set.size === 1 && /^[\u0621-\u06FF\u200C ]+$/.test([...set][0]) && !/[\u064A\u0643]/.test([...set][0]),
          `${md}: one Persian name, got ${JSON.stringify([...set])}`);
  }
  settleHostChecks();

  // The day's detail names the holiday, and says nothing on another day.
  const [on, off] = await convert(page, [['h', '1387/11/22'], ['h', '1387/11/23']]);
  check(on.holidayShown && on.holiday === [...names.get('11-22')][0], '22 Bahman: its name in the detail');
  check(!off.holidayShown, '23 Bahman: no holiday in the detail');
  // Shown like Fridays: the same colour for the day's number, not an ordinary
  // day's; the legend and the note on the lunar holidays one line each.
  const look = await page.evaluate(`(function () {
    function colour(selector) { return getComputedStyle(document.querySelector(selector + ' .h')).color; }
    function lines(selector) {
      var range = document.createRange();
      range.selectNodeContents(document.querySelector(selector));
      var heights = [].map.call(range.getClientRects(), function (r) { return r.height; }).filter(Boolean);
      return Math.round(range.getBoundingClientRect().height / Math.min.apply(null, heights));
    }
    return { holiday: colour('#days td.holiday:not(.friday):not(.selected):not(.today)'), friday: colour('#days td.friday:not(.holiday)'),
             plain: colour('#days td.day:not(.friday):not(.holiday):not(.selected):not(.today)'),
             legend: lines('.legend'), note: lines('.note') };
  })()`);
  checkEqual(look.holiday, look.friday, 'a holiday is coloured like a Friday');
  check(look.holiday !== look.plain, 'an ordinary day is not');
  check(look.legend === 1 && look.note === 1, `legend and note on one line each: ${look.legend} and ${look.note} lines`);
}

// A few thousand dates over the clock's whole range, Gregorian to Solar Hijri
// and back, against the command; inputs in Persian and Arabic-Indic digits and
// day first; and dates the converter must refuse.
async function checkConverter(page) {
  const dates = [];
  for (let ms = msOf('1601-01-01'); ms <= msOf('30827-12-31'); ms += 3559 * DAY) dates.push(isoOf(ms));
  dates.push('30827-12-31');
  hostMany(dates, 'numeric');
  const forward = await convert(page, dates.map((g, i) => ['g', i % 9 === 4 ? digitsIn(g, 0x06f0) : g]));
  forward.forEach((r, i) => {
    const g = dates[i], numeric = host(g, 'numeric');
    check(r.msgG === '' && r.numeric === numeric && r.h === hijriOf(numeric) && r.cellG === g,
          `${g}: the page converts it to ${r.numeric} (${r.h}, day ${r.cellG}${r.msgG}), the command to ${numeric}`);
  });
  // Back, with the Solar Hijri date written the ways a user may write it.
  const ways = [(n) => hijriOf(n), (n) => n, (n) => digitsIn(hijriOf(n), 0x06f0), (n) => digitsIn(n, 0x0660),
                (n) => ' ' + hijriOf(n).replace(/\//g, ' - ') + ' '];
  const back = await convert(page, dates.map((g, i) => ['h', ways[i % ways.length](host(g, 'numeric'))]));
  back.forEach((r, i) => {
    check(r.msgH === '' && r.g === dates[i] && r.cellG === dates[i],
          `${JSON.stringify(ways[i % ways.length](host(dates[i], 'numeric')))}: the page gives ${r.g}${r.msgH}, ` +
          `the command ${dates[i]}`);
  });
  progress(`${dates.length} dates converted both ways`);

  // Refused, with a message beside the field that says why; the other field
  // is emptied and the selection stays where it was.
  const refused = [
    ['h', '1387/7/31', /Mehr .*30 days/], ['h', '1388/12/30', /Esfand 1388 .*29 days/], ['h', '1387/13/1', /month 13/],
    ['h', '1387/1/0', /31 days/], ['h', '979/10/11', /979\/10\/12/], ['h', '30206/10/13', /30206\/10\/12/],
    ['g', '1600-12-31', /1601-01-01/], ['g', '30828-01-01', /30827-12-31/], ['g', '2023-02-29', /February 2023 .*28/],
    ['g', '9'.repeat(400) + '-01-01', /30827-12-31/], ['g', 'abc', /Not a date/], ['h', '\u06F1\u06F3\u06F8x/1/1', /Not a date/],
    ['g', '2008-04-11-1', /Not a date/], ['h', '', /Not a date/], ['g', '-2008-04-11', /Not a date/],
  ];
  const [before] = await convert(page, [['g', '2008-04-11']]);
  const results = await convert(page, refused.map(([field, text]) => [field, text]));
  refused.forEach(([field, text, why], i) => {
    const r = results[i], other = field === 'g' ? 'h' : 'g';
    const message = field === 'g' ? r.msgG : r.msgH;
    check(why.test(message), `${field} ${JSON.stringify(text)}: message ${JSON.stringify(message)}`);
    checkEqual(r[other], '', `${field} ${JSON.stringify(text)}: the other field`);
    checkEqual(r.cellG, before.cellG, `${field} ${JSON.stringify(text)}: the selection`);
  });
  const [after] = await convert(page, [['g', '2008-04-12']]);
  check(after.msgG === '' && after.msgH === '' && after.h === '1387/1/24', 'a good date clears the messages');

  // The arrow keys edit a field and leave the month alone.
  const title = (await page.snapshot()).title;
  await page.evaluate(`document.getElementById('in-g').focus()`);
  await page.key(37, 'ArrowLeft');
  checkEqual((await page.snapshot()).title, title, 'the left arrow in a field');
  await page.evaluate(`document.getElementById('in-g').blur()`);
}

function localNoon(iso) { return msOf(iso) + 12 * 3600 * 1000; }

const pageUrl = pathToFileURL(pagePath).href;

const started = Date.now();
function progress(what) { console.log(`${((Date.now() - started) / 1000).toFixed(1)} s: ${what}`); }

async function main() {
  const browser = new Browser();
  const deadline = setTimeout(() => {
    console.log('FAIL: the browser test ran out of time\n' + browser.stderr);
    browser.proc.kill('SIGKILL');
    process.exit(1);
  }, 180000);
  try {
    const { targetId } = await browser.send('Target.createTarget', { url: 'about:blank' });
    const { sessionId } = await browser.send('Target.attachToTarget', { targetId, flatten: true });
    const page = new Page(browser, sessionId);
    await page.send('Page.enable');
    await page.send('Runtime.enable');
    await page.send('Emulation.setDeviceMetricsOverride', { width: 540, height: 1000, deviceScaleFactor: 1, mobile: false });

    progress('Chromium started');
    // Dates with the clock at local noon (UTC, so the instant is the date).
    const dates = [
      ['2008-04-11', 'the band\'s worked example'],
      ['2008-03-19', 'last day of 1386, a common year'],
      ['2008-03-20', 'first day of 1387'],
      ['2009-03-20', 'Esfand 30 of leap year 1387'],
      ['2009-03-21', 'the day after Esfand 30'],
      ['2013-03-20', 'Esfand 30 of leap year 1391'],
      ['2030-03-20', 'Esfand 30 of leap year 1408 (22nd of its cycle)'],
      ['2029-03-20', 'the day after Esfand 29 of common year 1407'],
      ['2000-02-29', 'a Gregorian 29 February'],
      ['2024-12-31', 'last day of a Gregorian year'],
      ['1601-01-01', 'first day of the supported range'],
      ['30827-12-31', 'last day of the supported range'],
    ];
    for (const [iso, what] of dates) {
      const view = await checkToday(page, iso, msOf(iso) + 12 * 3600 * 1000, 'UTC', `${what} (${iso})`);
      if (iso === '1601-01-01') {
        check(view.prevDisabled, `${iso}: no month before the first supported one`);
        check(view.cells.filter((c) => c.classes.includes('out')).every((c) => c.g < iso),
              `${iso}: only days before the range are out of it`);
        check(view.cells.some((c) => c.classes.includes('out')), `${iso}: days before the range are marked out`);
        await page.click('#prev');
        checkEqual((await page.snapshot()).title, view.title, `${iso}: the previous-month button does nothing`);
      } else if (iso === '30827-12-31') {
        check(view.nextDisabled, `${iso}: no month after the last supported one`);
        check(view.cells.some((c) => c.classes.includes('out')), `${iso}: days after the range are marked out`);
        await page.click('#next');
        checkEqual((await page.snapshot()).title, view.title, `${iso}: the next-month button does nothing`);
      } else {
        check(!view.prevDisabled && !view.nextDisabled, `${iso}: both month buttons enabled`);
      }
    }

    progress(`${dates.length} dates checked`);
    // The local date decides, not UTC: 21:00 UTC on 10 April 2008 is already
    // 11 April in Tehran.
    await checkToday(page, '2008-04-11', Date.UTC(2008, 3, 10, 21, 0, 0), 'Asia/Tehran', 'local date in Tehran');
    await checkToday(page, '2008-04-10', Date.UTC(2008, 3, 10, 21, 0, 0), 'America/New_York', 'local date in New York');

    // Selecting another day shows its three texts.
    await checkToday(page, '2009-03-05', localNoon('2009-03-05'), 'UTC', 'selection');
    for (const day of [1, 17, 30]) {
      check(await page.click(`#days td[data-h="1387-12-${day}"]`), `selection: Esfand ${day} 1387 is on the page`);
      const view = await page.snapshot();
      const chosen = view.cells.filter((c) => c.classes.split(' ').includes('selected'));
      checkEqual(chosen.length, 1, `selection of Esfand ${day}: cells selected`);
      if (chosen.length === 1) {
        checkEqual(chosen[0].h, `1387-12-${day}`, `selection of Esfand ${day}`);
        checkFormats(view, chosen[0].g, `selection of Esfand ${day}`);
      }
      check(view.cells.some((c) => c.classes.split(' ').includes('today') && c.g === '2009-03-05'),
            `selection of Esfand ${day}: today stays marked`);
    }

    progress('time zones and selection checked');
    // A whole leap cycle of 33 years forward with the next-month button, and
    // the last year back with the previous one. The months must join without
    // a gap; the command confirms where each year ends.
    await checkToday(page, '2008-04-11', localNoon('2008-04-11'), 'UTC', 'year walk');
    const forward = [await page.snapshot()];
    for (let i = 1; i <= 33 * 12; i++) {
      await page.click('#next');
      const view = await page.snapshot();
      forward.push(view);
      const before = forward[i - 1].cells, after = view.cells;
      const [y0, m0] = before[0].h.split('-').map(Number);
      const what = `next month ${i} (after ${y0}-${m0})`;
      // Where each year ends, by the command: the last day of every Esfand.
      checkMonth(view, what, m0 === 11 ? 'last' : 'none');
      if (after.length === 0) break;
      const [y1, m1] = after[0].h.split('-').map(Number);
      checkEqual(`${y1}-${m1}`, m0 === 12 ? `${y0 + 1}-1` : `${y0}-${m0 + 1}`, `${what}: the month after ${y0}-${m0}`);
      checkEqual(after[0].g, nextIso(before[before.length - 1].g), `${what}: first day follows the last of ${y0}-${m0}`);
    }
    checkEqual(forward[12].cells[0].h, '1388-1-1', 'next month 12: a year on');
    checkEqual(forward[33 * 12].cells[0].h, '1420-1-1', 'next month 396: a cycle on');
    for (let i = 33 * 12 - 1; i >= 33 * 12 - 12; i--) {
      await page.click('#prev');
      const view = await page.snapshot();
      checkEqual(JSON.stringify(view.cells.map((c) => [c.g, c.h])), JSON.stringify(forward[i].cells.map((c) => [c.g, c.h])),
                 `previous month back to step ${i}`);
    }
    // The arrow keys turn the months as the page lies, right to left.
    await page.key(37, 'ArrowLeft');
    const last = 33 * 12 - 12;  // where the walk back stopped
    checkEqual((await page.snapshot()).cells[0].h, forward[last + 1].cells[0].h, 'the left arrow shows the next month');
    await page.key(39, 'ArrowRight');
    await page.key(39, 'ArrowRight');
    checkEqual((await page.snapshot()).cells[0].h, forward[last - 1].cells[0].h, 'the right arrow shows the previous month');
    await page.key(36, 'Home');
    checkEqual((await page.snapshot()).cells[0].h, forward[0].cells[0].h, 'Home shows the month of today');
    await page.click('#next');
    await page.click('#today');
    const back = await page.snapshot();
    checkEqual(back.title, forward[0].title, 'the today button comes back to the month of today');
    check(back.cells.some((c) => c.classes.split(' ').includes('today') && c.classes.split(' ').includes('selected')),
          'the today button selects today');

    settleHostChecks();
    progress('33 years walked');
    await checkHolidays(page);
    progress('holidays checked');
    await checkConverter(page);
    progress('converter checked');
    // A screenshot of a full month, today beside a holiday and the holiday
    // selected, checked for size and ink.
    await checkToday(page, '2009-03-20', localNoon('2009-03-20'), 'UTC', 'screenshot');
    await page.click('#days td[data-h="1387-12-29"]');
    const shot = await page.send('Page.captureScreenshot', { format: 'png' });
    const png = Buffer.from(shot.data, 'base64');
    fs.mkdirSync(outDir, { recursive: true });
    const shotPath = path.join(outDir, 'jcal.png');
    fs.writeFileSync(shotPath, png);
    check(png.slice(1, 4).toString() === 'PNG', 'screenshot is a PNG');
    const width = png.readUInt32BE(16), height = png.readUInt32BE(20);
    check(width === 540 && height === 1000, `screenshot is 540x1000, got ${width}x${height}`);
    check(png.length > 15000, `screenshot has content (${png.length} bytes)`);
    const ink = await page.evaluate(`new Promise(function (resolve) {
      var img = new Image();
      img.onload = function () {
        var canvas = document.createElement('canvas');
        canvas.width = img.width; canvas.height = img.height;
        var g = canvas.getContext('2d');
        g.drawImage(img, 0, 0);
        var data = g.getImageData(0, 0, img.width, img.height).data, dark = 0, accent = 0, colours = {};
        for (var i = 0; i < data.length; i += 4) {
          var r = data[i], gr = data[i + 1], b = data[i + 2];
          if (r + gr + b < 250) dark++;
          if (Math.abs(r - 0x12) < 8 && Math.abs(gr - 0x61) < 8 && Math.abs(b - 0x6b) < 8) accent++;
          colours[(r >> 4) + ',' + (gr >> 4) + ',' + (b >> 4)] = 1;
        }
        resolve({ dark: dark, accent: accent, colours: Object.keys(colours).length, pixels: data.length / 4 });
      };
      img.src = 'data:image/png;base64,${shot.data}';
    })`);
    check(ink.dark > 2000, `screenshot has text: ${ink.dark} dark pixels`);
    check(ink.accent > 10000, `screenshot has the header and today's mark: ${ink.accent} accent pixels`);
    check(ink.colours > 20, `screenshot is more than a few flat colours: ${ink.colours}`);
    settleHostChecks();
    console.log(`screenshot: ${shotPath} (${width}x${height}, ${png.length} bytes, ${ink.dark} dark pixels)`);
  } catch (error) {
    failures.push(String(error && error.stack || error));
    console.log('FAIL: ' + (error && error.stack || error));
    console.log(browser.stderr.slice(-4000));
  } finally {
    clearTimeout(deadline);
    await browser.close();
  }
  console.log(`${checks} checks, ${failures.length} failed`);
  process.exit(failures.length ? 1 : 0);
}

main();
