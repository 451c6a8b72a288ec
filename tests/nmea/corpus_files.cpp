#include "corpus_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace {

std::vector<CorpusFile> ReadFolder(const std::string& folder, const std::string& extension) {
  std::vector<CorpusFile> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() != extension) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files.push_back({entry.path().filename().string(),
                     std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())});
  }
  std::sort(files.begin(), files.end(),
            [](const CorpusFile& a, const CorpusFile& b) { return a.name < b.name; });
  return files;
}

}  // namespace

std::vector<CorpusFile> ReadCorpus() { return ReadFolder(ORVO_CORPUS_DIR, ".log"); }

std::vector<CorpusFile> ReadGpsdDecodings() { return ReadFolder(ORVO_CORPUS_DIR "/chk", ".chk"); }
