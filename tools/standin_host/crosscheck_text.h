// The data files of a crosscheck run: the data folder's own, with a lab scenario's settings
// and extra lines merged in as the lab's start-up reads them. Portable.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace standin {

// The INI text with `overrides` ("SECTION/Key" -> value) in place of its own values: each
// overridden key (names compared without case, as the profile reader does) is dropped from its
// section and the override written under the section's first header; sections the file lacks
// are appended.
std::string MergeIni(const std::string& file, const std::map<std::string, std::string>& overrides);

// A data file's text with extra lines after its own, on lines of their own.
std::string WithLines(std::string text, const std::vector<std::string>& lines);

}  // namespace standin
