#!/usr/bin/env node
// What the page minifier keeps and what it drops, as a table of small pages,
// each with the reason it is there; and a script that does not parse must
// fail the build rather than ship.
//   node minify_test.js <minify_page.js>
'use strict';

const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const minifier = process.argv[2];
const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'minify-test-'));
function minify(page) {
  const input = path.join(folder, 'in.html');
  const output = path.join(folder, 'out.html');
  fs.writeFileSync(input, page, 'latin1');
  fs.rmSync(output, { force: true });
  const run = spawnSync(process.execPath, [minifier, input, output], { encoding: 'utf8' });
  return { status: run.status, page: fs.existsSync(output) ? fs.readFileSync(output, 'latin1') : null };
}

const cases = [
  ['indentation with a line break becomes one line break', '<p>\n    <b>a</b>\n\n  <i>b</i>\n</p>',
   '<p>\n<b>a</b>\n<i>b</i>\n</p>'],
  ['white space without a line break is the page\'s own', '<p>a  <b>b</b> c</p>', '<p>a  <b>b</b> c</p>'],
  ['attribute values stay as written', '<p title="a\n   b">x</p>', '<p title="a\n   b">x</p>'],
  ['pre and textarea stay as written', '<pre>\n  a\n    b\n</pre><textarea>\n  x</textarea>',
   '<pre>\n  a\n    b\n</pre><textarea>\n  x</textarea>'],
  ['comments go, conditional ones stay', '<p>a</p>\n<!-- note -->\n<!--[if IE]><p>b</p><![endif]-->',
   '<p>a</p>\n<!--[if IE]><p>b</p><![endif]-->'],
  ['a style sheet that keeps white space keeps the markup\'s too',
   '<style>\n  p { white-space: pre-line; }\n</style>\n<p>\n  a\n</p>', '<style>p{white-space:pre-line}</style>\n<p>\n  a\n</p>'],
  ['scripts are minified, their strings whole and ASCII',
   '<script>\n  var greeting = "\\u0633\\u0644\\u0627\\u0645  </p>";\n  document.title = greeting;\n</script>',
   '<script>var greeting="\\u0633\\u0644\\u0627\\u0645  </p>";document.title=greeting;</script>'],
  ['a script of another type is data', '<script type="text/template">\n  <p>{{x}}</p>\n</script>',
   '<script type="text/template">\n  <p>{{x}}</p>\n</script>'],
];

let failures = 0;
for (const [why, page, expected] of cases) {
  const result = minify(page);
  if (result.status !== 0 || result.page !== expected) {
    failures += 1;
    console.log(`FAIL: ${why}\n  expected ${JSON.stringify(expected)}\n  got      ${JSON.stringify(result.page)}` +
                ` (status ${result.status})`);
  } else {
    console.log(`ok:   ${why}`);
  }
}
const broken = minify('<script>var x = ;</script>');
if (broken.status === 0 || broken.page !== null) {
  failures += 1;
  console.log('FAIL: a script that does not parse fails, and writes nothing');
} else {
  console.log('ok:   a script that does not parse fails, and writes nothing');
}
fs.rmSync(folder, { recursive: true, force: true });
console.log(failures ? `${failures} case(s) failed` : 'minifier cases passed');
process.exit(failures ? 1 : 0);
