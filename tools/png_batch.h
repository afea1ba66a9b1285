#pragma once

#include <string>
#include <vector>

// DIR/<the input's name without its SGI extension>.png: "a/b.RGB" gives "DIR/b.png"; a name
// with another extension keeps it ("c.png" gives "DIR/c.png.png").
std::string PngPathFor(const std::string& folder, const std::string& input);

// Converts every input to PNG in folder, one worker a core, each file read once. A file that
// cannot be converted (or whose output an earlier input already takes, or whose output name is a
// symbolic link or not a regular file) gets one line on stderr starting with its name and saying
// why; the others are converted all the same. A progress line is kept on
// stderr when it is a terminal. Returns the exit status: 0 when all were converted, 1 otherwise.
// A file shorter than its header and tables say is converted and gets a line
// "FILE: incomplete: R of H rows"; with strict it counts as not converted.
int ConvertToPngFolder(const std::string& folder, const std::vector<std::string>& inputs,
                       bool strict = false);
