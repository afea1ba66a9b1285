#pragma once

#include <string>

// A message box's text as one line of a tool's report: its line breaks (CR LF) become blanks.
inline std::string OneLine(const std::string& text) {
  std::string line;
  for (const char c : text)
    if (c != '\r') line += c == '\n' ? ' ' : c;
  return line;
}
