#include "crosscheck_compare.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace standin {
namespace {

using Json = nlohmann::json;

// What the stand-in does not see of the library's state: two of the flags that the impact
// decision left, and the outcome the lab names from them (the records that follow from them
// are compared). A requested repeat it sees as the step end leaving for the loop's advance.
void DropUnseen(Json& doc) {
  doc.erase("scenario");
  if (!doc.contains("frames") || !doc["frames"].is_array()) return;
  for (Json& frame : doc["frames"]) {
    if (!frame.is_object() || !frame.contains("impacts") || !frame["impacts"].is_array()) continue;
    for (Json& i : frame["impacts"]) {
      if (!i.is_object()) continue;
      i.erase("outcome");
      if (i.contains("flags") && i["flags"].is_object()) {
        i["flags"].erase("skipHostHit");
        i["flags"].erase("damageRestorePending");
      }
    }
  }
}

std::string Show(const Json& v) {
  if (!v.is_number_float()) return v.dump();
  const float f = static_cast<float>(v.get<double>());
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  char text[64];
  std::snprintf(text, sizeof text, "%.9g (0x%08X)", v.get<double>(), bits);
  return text;
}

// The first place where the two documents differ, or empty.
std::string FirstDifference(const Json& a, const Json& b, const std::string& where) {
  if (a.is_number() && b.is_number()) {
    if (a.get<double>() == b.get<double>()) return "";
    return where + ": lab " + Show(a) + ", stand-in " + Show(b);
  }
  if (a.type() != b.type()) return where + ": lab " + a.dump() + ", stand-in " + b.dump();
  if (a.is_array()) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
      const std::string d = FirstDifference(a[i], b[i], where + "[" + std::to_string(i) + "]");
      if (!d.empty()) return d;
    }
    if (a.size() != b.size())
      return where + ": lab has " + std::to_string(a.size()) + " entries, stand-in " +
             std::to_string(b.size());
    return "";
  }
  if (a.is_object()) {
    for (auto it = a.begin(); it != a.end(); ++it) {
      if (!b.contains(it.key())) return where + "." + it.key() + ": missing in the stand-in's";
      const std::string d = FirstDifference(it.value(), b[it.key()], where + "." + it.key());
      if (!d.empty()) return d;
    }
    for (auto it = b.begin(); it != b.end(); ++it)
      if (!a.contains(it.key())) return where + "." + it.key() + ": missing in the lab's";
    return "";
  }
  return a == b ? "" : where + ": lab " + a.dump() + ", stand-in " + b.dump();
}

}  // namespace

std::string FirstResultDifference(Json lab, Json standin) {
  if (!lab.is_object() || !standin.is_object()) return "the top: not both results";
  DropUnseen(lab);
  DropUnseen(standin);
  const Json& lf = lab["frames"];
  const Json& sf = standin["frames"];
  if (!lf.is_array() || !sf.is_array()) return "frames: not both lists";
  std::string diff = FirstDifference(lab["slots"], standin["slots"], "slots");
  for (size_t i = 0; diff.empty() && i < lf.size() && i < sf.size(); ++i)
    diff = FirstDifference(lf[i], sf[i], "frame " + std::to_string(i));
  if (diff.empty() && lf.size() != sf.size())
    diff =
        "lab has " + std::to_string(lf.size()) + " frames, stand-in " + std::to_string(sf.size());
  return diff;
}

}  // namespace standin
