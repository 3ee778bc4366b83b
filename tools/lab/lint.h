// `lint`: every line of the INI file and the two data files that start-up would ignore, cut
// short or misread, and every legal value that is almost surely a typo, with its file, line,
// text and a plain reason. The files are read with start-up's own line readers.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "tools/lab/table.h"

namespace pellix::lab {

struct Finding {
  std::string file;   // file name within the folder
  int line = 0;       // 1-based; 0 for the file as a whole
  bool fault = true;  // changes what start-up stores, or stops it
  // Not a fault: true for a legal value that breaks play or is almost surely a typo, false for
  // a note (a harmless oddity, or what a value beyond the float range does).
  bool warning = false;
  std::string reason;
  std::string text;  // the line as the reader takes it (control chars escaped); "" for a file
};

// "fault", "warning" or "note".
const char* FindingKind(const Finding& finding);

std::vector<Finding> LintFolder(const std::string& dir);

// As text: "file:line: reason" ("file:line: warning: reason", "...: note: ..."), each line's
// text below it; "clean" when there is nothing.
void PrintFindings(std::ostream& out, const std::vector<Finding>& findings);

// "file:line: reason" lines, the faults marked as such.
Table FindingsTable(const std::vector<Finding>& findings);

bool AnyFault(const std::vector<Finding>& findings);

// "file:line: reason" as `lint` prints it.
std::string FindingText(const Finding& finding);

// The lines of a text file as the data readers see them (line ends removed); false when the
// file cannot be read.
bool ReadLines(const std::string& path, std::vector<std::string>& lines);

}  // namespace pellix::lab
