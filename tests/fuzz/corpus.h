// The seed corpus, built into the replay test (see embed_corpus.cmake).
#pragma once
#include <cstddef>

namespace pellix::fuzz {

struct CorpusEntry {
  const char* name;  // "<target>/<file>"
  const unsigned char* data;
  size_t size;
};
extern const CorpusEntry corpusEntries[];  // corpusEntryCount entries, then a null one
extern const size_t corpusEntryCount;

}  // namespace pellix::fuzz
