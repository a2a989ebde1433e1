// The runner's line rules over a stream of bytes that arrives in pieces: byte 0 is dropped, LF
// ends a line, CR ends a line and takes an LF right after it in the same piece along (an LF at the
// start of the next piece ends another, empty, line); every other byte belongs to the line.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace LineSplitting {

inline bool IsBreakOrZero(char c) {
  return c == '\n' || c == '\r' || c == '\0';
}

// The first LF, CR or 0 in [from, to), or to. One pass, a machine word at a time: a word with no
// byte below 14 holds none of the three (tabs and the other low controls only cost a look at each
// byte of their word). It does not use the C runtime's memchr, which is a byte loop in some
// runtimes (Wine's msvcrt among them) and would take three passes, one for each byte.
inline const char *FindBreakOrZero(const char *from, const char *to) {
  using TWord = std::uintptr_t;
  constexpr TWord Ones = TWord(-1) / 255; // 0x0101...
  constexpr TWord Below14 = Ones * 14, HighBits = Ones * 128;
  while (from < to && (std::uintptr_t(from) % sizeof(TWord)) != 0) {
    if (IsBreakOrZero(*from))
      return from;
    ++from;
  }
#ifdef __SSE2__
  // Sixteen bytes at a time where the processor is sure to have SSE2 (every x86-64).
  const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'), zero = _mm_setzero_si128();
  for (; to - from >= 16; from += 16) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from));
    __m128i found = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr)),
                                 _mm_cmpeq_epi8(bytes, zero));
    if (int mask = _mm_movemask_epi8(found))
      return from + std::countr_zero(unsigned(mask));
  }
#endif
  for (; std::size_t(to - from) >= sizeof(TWord); from += sizeof(TWord)) {
    TWord word;
    std::memcpy(&word, from, sizeof word);
    if (((word - Below14) & ~word & HighBits) == 0)
      continue;
    for (std::size_t i = 0; i < sizeof(TWord); ++i)
      if (IsBreakOrZero(from[i]))
        return from + i;
  }
  while (from < to && !IsBreakOrZero(*from))
    ++from;
  return from;
}

// Cuts one piece in a single pass. The sink gets Append(from, to) for text of the current line and
// EndLine() at each line end, and is asked Stopped() after each line end: true leaves the rest of
// the piece unread. Every byte is looked at once, however line ends and zeros are mixed (a rescan
// of the rest of the read after each CR or 0 made 200 MB of zeros quadratic).
template <typename TSink> void Split(std::string_view piece, TSink &sink) {
  const char *next = piece.data(), *end = next + piece.size();
  while (next < end) {
    char c = *next;
    if (!IsBreakOrZero(c)) {
      const char *stop = FindBreakOrZero(next, end);
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
