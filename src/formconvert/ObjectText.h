// The text form of a stored component tree, made from its binary form exactly as the Delphi 7 IDE
// writes it: the CLX form files we generate must look as if that IDE had saved them.
#pragma once
#include "framework/Exception.h"
#include <string>
#include <string_view>

// A binary form that cannot be read: truncated, corrupted, or nested deeper than any real form.
class EReadError : public Exception {
public:
  using Exception::Exception;
};

// The deepest nesting of objects, lists and collections accepted; real forms stay far below it,
// and the limit keeps a corrupted file from exhausting the stack.
inline constexpr int MaxNestingLevel = 1000;

// A component stream beginning with the signature "TPF0". Returns the text with CR LF after every
// line; anything after the root object's end is ignored. Raises EReadError.
std::string ObjectBinaryToText(std::string_view stream);

// A form resource: the header (byte 255, the 16-bit value 10, the zero-terminated name, 6 more
// bytes) and then the component stream. Raises EReadError.
std::string ObjectResourceToText(std::string_view resource);
