#include "corpus_files.h"

#include <algorithm>
#include <cstdlib>
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

std::vector<CorpusFile> ReadGpsdWatches() { return ReadFolder(ORVO_CORPUS_DIR "/gpsd", ".jsonl"); }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// The number after "name": in a JSON object, if there is one.
bool JsonNumber(const std::string& json, const char* name, double* value) {
  const std::string key = std::string("\"") + name + "\":";
  const size_t at = json.find(key);
  if (at == std::string::npos) return false;
  const char* text = json.c_str() + at + key.size();
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return end != text;
}

bool JsonString(const std::string& json, const char* name, std::string* value) {
  const std::string key = std::string("\"") + name + "\":\"";
  const size_t at = json.find(key);
  if (at == std::string::npos) return false;
  const size_t end = json.find('"', at + key.size());
  if (end == std::string::npos) return false;
  *value = json.substr(at + key.size(), end - at - key.size());
  return true;
}

bool IsClass(const std::string& json, const char* name) {
  return json.find(std::string("\"class\":\"") + name + "\"") != std::string::npos;
}

std::vector<std::string> SatelliteObjects(const std::string& sky) {
  std::vector<std::string> objects;
  const size_t list = sky.find("\"satellites\":[");
  if (list == std::string::npos) return objects;
  for (size_t at = sky.find('{', list); at != std::string::npos; at = sky.find('{', at + 1)) {
    const size_t close = sky.find('}', at);
    if (close == std::string::npos) break;
    objects.push_back(sky.substr(at, close - at + 1));
    if (close + 1 >= sky.size() || sky[close + 1] != ',') break;
  }
  return objects;
}
