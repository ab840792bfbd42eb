// The tool's name patterns, as `tolsa list PATTERN` reads them: '*' any run,
// '?' one character, '[a-z]' / '[!a-z]' / '[^a-z]' a set, '\' a literal next
// character; case matters. The same steps as tools/codec/Glob.cpp.

function matchSet(pattern, at, c) {
  let negate = false;
  if (at < pattern.length && (pattern[at] === '!' || pattern[at] === '^')) { negate = true; ++at; }
  let found = false, first = true;
  while (at < pattern.length && (first || pattern[at] !== ']')) {
    first = false;
    let low = pattern[at];
    if (low === '\\' && at + 1 < pattern.length) low = pattern[++at];
    ++at;
    let high = low;
    if (at + 1 < pattern.length && pattern[at] === '-' && pattern[at + 1] !== ']') {
      high = pattern[at + 1];
      if (high === '\\' && at + 2 < pattern.length) high = pattern[++at + 1];
      at += 2;
    }
    if (low <= c && c <= high) found = true;
  }
  return { hit: found !== negate, valid: at < pattern.length, next: at + 1 };
}

export function globMatch(pattern, text) {
  let p = 0, t = 0, starP = -1, starT = 0;
  while (t < text.length) {
    if (p < pattern.length) {
      const c = pattern[p];
      if (c === '*') { starP = ++p; starT = t; continue; }
      if (c === '?') { ++p; ++t; continue; }
      if (c === '[') {
        const set = matchSet(pattern, p + 1, text[t]);
        if (set.valid) {
          if (set.hit) { p = set.next; ++t; continue; }
        } else if (text[t] === '[') { ++p; ++t; continue; }
      } else {
        const literal = c === '\\' && p + 1 < pattern.length ? p + 1 : p;
        if (pattern[literal] === text[t]) { p = literal + 1; ++t; continue; }
      }
    }
    if (starP < 0) return false;
    p = starP;
    t = ++starT;
  }
  while (p < pattern.length && pattern[p] === '*') ++p;
  return p === pattern.length;
}
