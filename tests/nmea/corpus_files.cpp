#include "corpus_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

std::vector<CorpusFile> ReadCorpus() {
  std::vector<CorpusFile> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(ORVO_CORPUS_DIR, error)) {
    if (entry.path().extension() != ".log") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files.push_back({entry.path().filename().string(),
                     std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())});
  }
  std::sort(files.begin(), files.end(),
            [](const CorpusFile& a, const CorpusFile& b) { return a.name < b.name; });
  return files;
}
