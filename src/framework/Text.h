// Small text helpers shared by every layer.
#pragma once
#include <string>

// ASCII letters in upper case, as the program compares names and paths (system code page text
// keeps its other bytes).
inline std::string UpperCase(std::string text) {
  for (auto &c : text)
    if (c >= 'a' && c <= 'z')
      c = char(c - 'a' + 'A');
  return text;
}

// The text in double quotes, as command lines carry paths.
inline std::string Quoted(const std::string &text) { return "\"" + text + "\""; }
