// `lint`: every line of the INI file and the two data files that start-up would ignore, cut
// short or misread, with its file, line and a plain reason.
#pragma once
#include <string>
#include <vector>

#include "tools/lab/table.h"

namespace pellix::lab {

struct Finding {
  std::string file;   // file name within the folder
  int line = 0;       // 1-based; 0 for the file as a whole
  bool fault = true;  // changes what start-up stores; false for a harmless oddity
  std::string reason;
};

std::vector<Finding> LintFolder(const std::string& dir);

// "file:line: reason" lines, the faults marked as such.
Table FindingsTable(const std::vector<Finding>& findings);

bool AnyFault(const std::vector<Finding>& findings);

// "file:line: reason" as `lint` prints it.
std::string FindingText(const Finding& finding);

// The lines of a text file as the data readers see them (line ends removed); false when the
// file cannot be read.
bool ReadLines(const std::string& path, std::vector<std::string>& lines);

}  // namespace pellix::lab
