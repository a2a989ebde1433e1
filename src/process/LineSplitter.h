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

// Cuts one piece in a single pass. The sink gets Append(from, to) for text of the current line and
// EndLine() at each line end, and is asked Stopped() after each line end: true leaves the rest of
// the piece unread. Each of the three special bytes is searched for with memchr, and a search
// starts only where the previous one for that byte stopped, so every byte is looked at at most
// three times however the specials are mixed (a rescan after each CR or 0 made 200 MB of zeros
// quadratic).
template <typename TSink> void Split(std::string_view piece, TSink &sink) {
  const char *next = piece.data(), *end = next + piece.size();
  // The next of each at or after `next`.
  const char *lf = FindByte(next, end, '\n'), *cr = FindByte(next, end, '\r'), *zero = FindByte(next, end, '\0');
  while (next < end) {
    if (lf < next)
      lf = FindByte(next, end, '\n');
    if (cr < next)
      cr = FindByte(next, end, '\r');
    if (zero < next)
      zero = FindByte(next, end, '\0');
    const char *stop = lf < cr ? lf : cr;
    stop = zero < stop ? zero : stop;
    if (stop > next)
      sink.Append(next, stop);
    if (stop == end)
      return;
    char c = *stop;
    next = stop + 1;
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
