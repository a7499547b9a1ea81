#include "mail/StoredMessage.h"

#include <vmime/vmime.hpp>

#include "mail/FileRead.h"

namespace zorvik::mail {
namespace {

// Only the header block is read; a longer block is not a header block.
constexpr std::size_t kMaxHeaderBytes = 1 << 20;

bool IsFieldNameChar(unsigned char c) { return c > 32 && c < 127 && c != ':'; }

// The header block: up to the first empty line. Nothing when the bytes do
// not begin with "Name:".
bool HeaderBlock(std::string_view bytes, std::string_view& block) {
  std::size_t i = 0;
  while (i < bytes.size() && IsFieldNameChar(static_cast<unsigned char>(bytes[i]))) ++i;
  if (i == 0 || i >= bytes.size() || bytes[i] != ':') return false;
  std::size_t end = bytes.size();
  for (std::size_t nl = bytes.find('\n'); nl != std::string_view::npos;
       nl = bytes.find('\n', nl + 1)) {
    std::size_t next = nl + 1;
    if (next < bytes.size() && bytes[next] == '\r') ++next;
    if (next >= bytes.size() || bytes[next] == '\n') {
      end = nl + 1;
      break;
    }
    if (nl > kMaxHeaderBytes) return false;
  }
  if (end > kMaxHeaderBytes) return false;
  block = bytes.substr(0, end);
  return true;
}

std::string Utf8(const vmime::text& t) {
  try {
    return t.getConvertedText(vmime::charset(vmime::charsets::UTF_8));
  } catch (const std::exception&) {
    // An unknown charset: the words as they were written.
    return t.getWholeBuffer();
  }
}

std::string MailboxText(const vmime::mailbox& box) {
  const std::string name = Utf8(box.getName());
  // The address as written. (emailAddress::toString would convert the
  // domain to Unicode, and VMime 0.9.2 leaks a converter when that fails.)
  const vmime::emailAddress& email = box.getEmail();
  std::string address = email.getLocalName().getBuffer();
  if (!email.getDomainName().getBuffer().empty())
    address += "@" + email.getDomainName().getBuffer();
  if (name.empty()) return address;
  if (address.empty()) return name;
  return name + " <" + address + ">";
}

std::string FromText(const vmime::header& h) {
  const auto field = h.findField(vmime::fields::FROM);
  if (!field) return {};
  const auto value = field->getValue();
  if (const auto box = vmime::dynamicCast<const vmime::mailbox>(value)) return MailboxText(*box);
  if (const auto list = vmime::dynamicCast<const vmime::mailboxList>(value)) {
    if (list->getMailboxCount() > 0) return MailboxText(*list->getMailboxAt(0));
    return {};
  }
  if (const auto list = vmime::dynamicCast<const vmime::addressList>(value)) {
    const auto boxes = list->toMailboxList();
    if (boxes && boxes->getMailboxCount() > 0) return MailboxText(*boxes->getMailboxAt(0));
  }
  return {};
}

}  // namespace

MailStatus ReadStoredMessage(std::string_view bytes, StoredMessageSummary& out) {
  out = {};
  std::string_view block;
  if (!HeaderBlock(bytes, block)) return MailStatus::Error(kErrBadFormat);
  try {
    vmime::header h;
    h.parse(std::string(block));
    const bool message = h.hasField(vmime::fields::FROM) || h.hasField(vmime::fields::DATE) ||
                         h.hasField(vmime::fields::SUBJECT) || h.hasField(vmime::fields::TO) ||
                         h.hasField(vmime::fields::MESSAGE_ID);
    if (!message) return MailStatus::Error(kErrBadFormat);
    if (const auto field = h.findField(vmime::fields::SUBJECT)) {
      if (const auto text = vmime::dynamicCast<const vmime::text>(field->getValue()))
        out.subject = Utf8(*text);
    }
    out.from = FromText(h);
    if (const auto field = h.findField(vmime::fields::DATE)) {
      if (const auto date = vmime::dynamicCast<const vmime::datetime>(field->getValue()))
        out.date = date->generate();
    }
  } catch (const std::exception&) {
    out = {};
    return MailStatus::Error(kErrBadFormat);
  }
  return MailStatus::Ok();
}

MailStatus ReadStoredMessageFile(const std::string& path, StoredMessageSummary& out) {
  out = {};
  // The header block is all that is needed.
  std::string bytes;
  if (MailStatus s = ReadFileHead(path, kMaxHeaderBytes + 4, bytes); !s.ok()) return s;
  return ReadStoredMessage(bytes, out);
}

}  // namespace zorvik::mail
