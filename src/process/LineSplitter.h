// The runner's line rules over a stream of bytes that arrives in pieces: byte 0 is dropped, LF
// ends a line, CR ends a line and takes an LF right after it in the same piece along (an LF at the
// start of the next piece ends another, empty, line); every other byte belongs to the line.
#pragma once
#include <cstring>
#include <string_view>

namespace LineSplitting {

// The first c in [from, to), or to.
inline const char *FindByte(const char *from, const char *to, char c) {
  if (from >= to)
    return to;
  auto *found = static_cast<const char *>(std::memchr(from, c, std::size_t(to - from)));
  return found ? found : to;
}

inline bool IsSpecial(char c) {
  return c == '\n' || c == '\r' || c == '\0';
}

// Cuts one piece in a single pass. The sink gets Append(from, to) for text of the current line and
// EndLine() at each line end, and is asked Stopped() after each line end: true leaves the rest of
// the piece unread. A run of text is found with memchr for each of the three special bytes, and a
// search starts only where the previous one for that byte stopped, so every byte is looked at a
// bounded number of times however the specials are mixed (a rescan of the rest of the read after
// each CR or 0 made 200 MB of zeros quadratic); specials in a row are taken one by one.
template <typename TSink> void Split(std::string_view piece, TSink &sink) {
  const char *next = piece.data(), *end = next + piece.size();
  // The next of each at or after `next`, once looked for.
  const char *lf = next, *cr = next, *zero = next;
  bool searched = false;
  while (next < end) {
    char c = *next;
    if (!IsSpecial(c)) {
      if (!searched || lf < next)
        lf = FindByte(next, end, '\n');
      if (!searched || cr < next)
        cr = FindByte(next, end, '\r');
      if (!searched || zero < next)
        zero = FindByte(next, end, '\0');
      searched = true;
      const char *stop = lf < cr ? lf : cr;
      stop = zero < stop ? zero : stop;
      sink.Append(next, stop);
      next = stop;
      continue;
    }
    ++next;
    if (c == '\0')
      continue;
    if (c == '\r' && next < end && *next == '\n')
      ++next;
    sink.EndLine();
    if (sink.Stopped())
      return;
  }
}

} // namespace LineSplitting
