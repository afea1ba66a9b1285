#pragma once

#include <string>
#include <vector>

// lumenor-decode --check: each file (a folder stands for its SGI files) on its own line of stdout,
// "FILE: ok", "FILE: incomplete: R of H rows" or "FILE: refused: " and the load's message, from
// headers and tables only; then each sequence among them (files of one folder whose names differ
// only in their frame number) with its range and the numbers missing from it. Returns the exit
// status: 0 when every file is ok and no number is missing, 1 otherwise.
int CheckSequences(const std::vector<std::string>& arguments);
