#!/usr/bin/env node
// Writes the copy of an HTML page that goes into the module: the same page,
// without what only its reader needs. Every step keeps what the page does:
//  - scripts go through a JavaScript minifier (uglify-js, Internet Explorer
//    quirks on, output kept ASCII), which parses them, so strings, regular
//    expressions and directives come through whole;
//  - style sheets through a CSS minifier (clean-css, level 1: no rule is moved
//    or merged);
//  - comments go, except Internet Explorer's conditional ones;
//  - in the markup, a run of white space that holds a line break becomes one
//    line break, which a browser renders as it rendered the run. Attribute
//    values and <pre>/<textarea> content stay as written, and so does all
//    markup white space when a style sheet of the page preserves it
//    (white-space: pre, pre-wrap, pre-line, break-spaces).
// A script or style sheet that does not parse fails the build.
//
// Uses Debian's node-uglify-js and node-clean-css (in /usr/share/nodejs).
//   node minify_page.js <page.html> <output.html>
'use strict';

const fs = require('fs');
const path = require('path');
const Module = require('module');

// Debian keeps its Node.js modules in /usr/share/nodejs, which a Node.js
// from elsewhere does not search.
process.env.NODE_PATH = [process.env.NODE_PATH, '/usr/share/nodejs'].filter(Boolean).join(path.delimiter);
Module._initPaths();
const UglifyJS = require('uglify-js');
const CleanCSS = require('clean-css');

function fail(message) {
  console.error(`minify_page: ${message}`);
  process.exit(1);
}

if (process.argv.length !== 4) fail('usage: node minify_page.js <page.html> <output.html>');
const [input, output] = process.argv.slice(2);
const page = fs.readFileSync(input, 'latin1');  // byte for byte, whatever the encoding

function minifyScript(code, where) {
  const result = UglifyJS.minify(code, { ie: true, output: { ascii_only: true } });
  if (result.error) fail(`${where}: ${result.error.message} (line ${result.error.line})`);
  return result.code;
}

function minifyStyle(css, where) {
  const result = new CleanCSS({ level: 1 }).minify(css);
  if (result.errors.length) fail(`${where}: ${result.errors.join('; ')}`);
  return result.styles;
}

const lineOf = (offset) => page.slice(0, offset).split('\n').length;
const preservesWhiteSpace = /white-space\s*:\s*(pre|pre-wrap|pre-line|break-spaces)\b/i.test(page);

// Markup between the elements handled whole: white space with a line break
// in it becomes one line break, outside quoted attribute values.
function squeezeMarkup(text) {
  if (preservesWhiteSpace) return text;
  let out = '';
  let inTag = false;
  let quote = '';
  for (let i = 0; i < text.length; ++i) {
    const c = text[i];
    if (quote) {
      out += c;
      if (c === quote) quote = '';
      continue;
    }
    if (inTag && (c === '"' || c === "'")) {
      quote = c;
      out += c;
      continue;
    }
    if (c === '<') inTag = true;
    if (c === '>') inTag = false;
    if (/\s/.test(c)) {
      let end = i;
      while (end < text.length && /\s/.test(text[end])) ++end;
      const run = text.slice(i, end);
      out += run.includes('\n') ? '\n' : run;
      i = end - 1;
      continue;
    }
    out += c;
  }
  return out;
}

// Elements whose content is not markup, and comments. The markup on both
// sides of a comment that goes is squeezed as one run.
const wholeElements = /<!--|<(script|style|pre|textarea)\b[^>]*>/gi;
let out = '';
let markup = '';
let at = 0;
for (let match; (match = wholeElements.exec(page)); ) {
  markup += page.slice(at, match.index);
  if (match[0] === '<!--') {
    const end = page.indexOf('-->', match.index + 4);
    if (end < 0) fail(`line ${lineOf(match.index)}: comment without its end`);
    const comment = page.slice(match.index, end + 3);
    if (comment.startsWith('<!--[if')) markup += comment;
    at = end + 3;
    wholeElements.lastIndex = at;
    continue;
  }
  const name = match[1].toLowerCase();
  const close = new RegExp(`</${name}\\s*>`, 'ig');
  close.lastIndex = match.index + match[0].length;
  const end = close.exec(page);
  if (!end) fail(`line ${lineOf(match.index)}: <${name}> without its end`);
  let content = page.slice(match.index + match[0].length, end.index);
  const type = (/\btype\s*=\s*["']?([^"'\s>]+)/i.exec(match[0]) || [])[1];
  const where = `line ${lineOf(match.index)}`;
  if (name === 'script' && (!type || /^(text|application)\/(javascript|ecmascript)$/i.test(type))) {
    content = minifyScript(content, where);
  } else if (name === 'style' && (!type || /^text\/css$/i.test(type))) {
    content = minifyStyle(content, where);
  }
  out += squeezeMarkup(markup + match[0]) + content + end[0];
  markup = '';
  at = end.index + end[0].length;
  wholeElements.lastIndex = at;
}
out += squeezeMarkup(markup + page.slice(at));

fs.writeFileSync(output, out, 'latin1');
console.log(`${path.basename(output)}: ${out.length} bytes (${path.basename(input)}: ${page.length})`);
