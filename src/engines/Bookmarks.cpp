#include "engines/Bookmarks.h"

#include <fstream>
#include <iterator>

#include "harvest/AtomicFile.h"

namespace zorvik {

namespace {

bool Readable(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

BookmarkFile::Lines BookmarkFile::Load() const {
  Lines out;
  if (!Readable(path_)) return out;
  std::ifstream in(path_, std::ios::binary);
  std::string line;
  while (in && std::getline(in, line)) {
    if (out.lines.size() == kMenuLimit) {
      out.more = true;
      break;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.lines.push_back(std::move(line));
  }
  return out;
}

bool BookmarkFile::Append(std::string_view address) const {
  std::ofstream out(path_, std::ios::binary | std::ios::app);
  out << address << "\r\n";
  return static_cast<bool>(out.flush());
}

std::string BookmarkFile::EditorText() const {
  if (!Readable(path_)) return {};
  std::ifstream in(path_, std::ios::binary);
  std::string text;
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) text.append(buffer, static_cast<std::size_t>(in.gcount()));
  return text;
}

std::string BookmarkFile::FileBytes(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16 + 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += c;
    }
  }
  // One line end closes the last line; an end the text already has is it.
  if (!out.empty() && (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0)) out += "\r\n";
  return out;
}

bool BookmarkFile::SaveEditorText(std::string_view text) const {
  harvest::AtomicFile file(path_);
  file.Write(FileBytes(text));
  return file.Commit();
}

}  // namespace zorvik
