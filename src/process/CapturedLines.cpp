#include "process/CapturedLines.h"

#include <algorithm>
#include <ostream>

void TCapturedLines::clear() {
  text_.clear();
  ends_.clear();
}

void TCapturedLines::push_back(std::string_view line) {
  DropOpenLine();
  text_.append(line);
  EndOpenLine();
}

TStringList TCapturedLines::ToStringList() const {
  TStringList list;
  AppendTo(list);
  return list;
}

void TCapturedLines::AppendTo(TStringList &list) const {
  list.reserve(list.size() + size());
  for (std::string_view line : *this)
    list.emplace_back(line);
}

bool operator==(const TCapturedLines &lines, const TStringList &list) {
  return std::equal(lines.begin(), lines.end(), list.begin(), list.end(),
                    [](std::string_view a, const std::string &b) { return a == b; });
}

bool operator==(const TCapturedLines &a, const TCapturedLines &b) {
  return a.ends_ == b.ends_ && a.text_.compare(0, a.OpenLineStart(), b.text_, 0, b.OpenLineStart()) == 0;
}

void PrintTo(const TCapturedLines &lines, std::ostream *out) {
  *out << '{';
  const char *separator = "";
  for (std::string_view line : lines) {
    *out << separator << '"' << line << '"';
    separator = ", ";
  }
  *out << '}';
}
