#include "mail/PartTree.h"

#include <functional>

namespace zorvik::mail {
namespace {

// A body piece index above this is taken for a caller's mistake rather than
// a request to allocate millions of empty pieces.
constexpr int kMaxBodyPieces = 4096;

int CountBelow(const MimePart& p) {
  int n = 0;
  for (const auto& c : p.children) n += 1 + CountBelow(*c);
  return n;
}

}  // namespace

std::string MimePart::Body() const {
  std::string all;
  for (const auto& piece : body) all += piece;
  return all;
}

PartTree::PartTree() { Clear(); }

void PartTree::Clear() {
  root_ = std::make_unique<MimePart>();
  current_ = root_.get();
}

int PartTree::PartCount() const { return CountBelow(*root_); }

int PartTree::PartIndex() const {
  int index = 0;
  int found = -1;
  std::function<void(const MimePart&)> walk = [&](const MimePart& p) {
    if (&p == current_) found = index;
    ++index;
    for (const auto& c : p.children) {
      if (found >= 0) return;
      walk(*c);
    }
  };
  walk(*root_);
  return found;
}

MailStatus PartTree::SetPartIndex(int index) {
  if (index < 0) return MailStatus::Error(kErrInvalidEntry);
  int n = 0;
  MimePart* hit = nullptr;
  std::function<void(MimePart&)> walk = [&](MimePart& p) {
    if (n++ == index) hit = &p;
    for (auto& c : p.children) {
      if (hit != nullptr) return;
      walk(*c);
    }
  };
  walk(*root_);
  if (hit == nullptr) return MailStatus::Error(kErrInvalidEntry);
  current_ = hit;
  return MailStatus::Ok();
}

MailStatus PartTree::AppendChild() {
  int depth = 0;
  for (const MimePart* p = current_; p->parent != nullptr; p = p->parent) ++depth;
  if (depth >= kMaxDepth) return MailStatus::Error(kErrCannotDescend);
  auto child = std::make_unique<MimePart>();
  child->parent = current_;
  current_->children.push_back(std::move(child));
  return MailStatus::Ok();
}

MailStatus PartTree::Ascend() {
  if (current_->parent == nullptr) return MailStatus::Error(kErrCannotAscend);
  current_ = current_->parent;
  return MailStatus::Ok();
}

MailStatus PartTree::Descend() {
  if (current_->children.empty()) return MailStatus::Error(kErrCannotDescend);
  current_ = current_->children.back().get();
  return MailStatus::Ok();
}

std::string PartTree::PartBody(int index) const {
  if (index < 0 || index >= static_cast<int>(current_->body.size())) return {};
  return current_->body[static_cast<std::size_t>(index)];
}

MailStatus PartTree::SetPartBody(int index, std::string text) {
  if (index < 0 || index >= kMaxBodyPieces) return MailStatus::Error(kErrInvalidEntry);
  auto& body = current_->body;
  if (index >= static_cast<int>(body.size())) body.resize(static_cast<std::size_t>(index) + 1);
  body[static_cast<std::size_t>(index)] = std::move(text);
  return MailStatus::Ok();
}

}  // namespace zorvik::mail
