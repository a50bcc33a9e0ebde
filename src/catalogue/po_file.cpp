#include "catalogue/po_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <cstdlib>
#include <map>
#include <memory>
#include <span>

#include <gettext-po.h>

#include "catalogue/po_tags.hpp"
#include "dump/dumps.hpp"
#include "dump/dump_lines.hpp"
#include "platform/cp932_to_utf8.hpp"
#include "platform/input_file.hpp"
#include "platform/temp_files.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

// What gettext's library reported during one call: its first error, and a
// way out of a fatal one (its handler must not return then).
struct LibraryReport {
  std::string error;
  std::size_t line = 0;
  std::jmp_buf fatal;
};
thread_local LibraryReport* current_report = nullptr;

// The most a written template may hold: the dumps' default ceiling.
constexpr std::size_t kMostTemplateBytes = std::size_t{1} << 30;

void record(int severity, const char* filename, std::size_t lineno, const char* text) {
  LibraryReport& report = *current_report;
  if (severity != PO_SEVERITY_WARNING && report.error.empty()) {
    report.error = text != nullptr ? text : "gettext's library failed";
    while (!report.error.empty() && report.error.back() == '\n') report.error.pop_back();
    report.line = filename != nullptr && lineno != static_cast<std::size_t>(-1) ? lineno : 0;
  }
  if (severity == PO_SEVERITY_FATAL_ERROR) std::longjmp(report.fatal, 1);
}

void on_error(int severity, po_message_t, const char* filename, std::size_t lineno, std::size_t, int, const char* text) {
  record(severity, filename, lineno, text);
}

void on_error2(int severity, po_message_t, const char* filename, std::size_t lineno, std::size_t, int, const char* text,
               po_message_t, const char*, std::size_t, std::size_t, int, const char*) {
  record(severity, filename, lineno, text);
}

const po_xerror_handler kHandler = {on_error, on_error2};

// Runs `call` (a call into the library) with `report` taking what it
// reports; a fatal error ends the call early.
template <typename Call>
void with_report(LibraryReport& report, const Call& call) {
  current_report = &report;
  if (setjmp(report.fatal) == 0) call();
  current_report = nullptr;
}

// Frees a PO file's messages and the file. The library's own free leaves
// each message's msgctxt behind; setting it to none frees it.
void free_po_file(po_file_t file) {
  if (file == nullptr) return;
  po_message_iterator_t at = po_message_iterator(file, nullptr);
  for (po_message_t message = po_next_message(at); message != nullptr; message = po_next_message(at)) {
    po_message_set_msgctxt(message, nullptr);
  }
  po_message_iterator_free(at);
  po_file_free(file);
}
using PoFile = std::unique_ptr<std::remove_pointer_t<po_file_t>, void (*)(po_file_t)>;

// A file of our own in the temporary folder, removed when it goes (or when
// the run is interrupted).
class ScratchFile {
 public:
  ScratchFile() {
    const char* folder = std::getenv("TMPDIR");
    path_ = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/ambergale-po-XXXXXX";
    fd_ = ::mkstemp(path_.data());
    if (fd_ >= 0) slot_ = track_temp_file(AT_FDCWD, path_.c_str());
  }
  ~ScratchFile() {
    if (fd_ >= 0) {
      ::close(fd_);
      ::unlink(path_.c_str());
    }
    untrack_temp_file(slot_);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  const char* path() const { return path_.c_str(); }
  bool write(std::string_view bytes) const {
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

 private:
  std::string path_;
  int fd_ = -1;
  int slot_ = -1;
};

std::string utf8_of(const Cp932ToUtf8& to_utf8, std::string_view text) {
  std::string out;
  to_utf8.convert(text, out);
  return out;
}

// The line where each message of the file's text starts, in file order,
// the header first: its msgctxt, or its msgid when it has none; obsolete
// ones after "#~", keywords after any blanks. The library keeps the
// messages in that order.
std::vector<std::size_t> message_lines(std::string_view contents) {
  std::vector<std::size_t> lines;
  bool after_context = false;
  std::size_t number = 0;
  for (const std::string_view line : split_lines(contents)) {
    ++number;
    std::string_view rest = line;
    if (rest.substr(0, 2) == "#~") rest.remove_prefix(2);
    rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
    const bool context = rest.substr(0, 8) == "msgctxt " || rest.substr(0, 8) == "msgctxt\t";
    const bool source = rest.substr(0, 6) == "msgid " || rest.substr(0, 6) == "msgid\t";
    if ((context || source) && !after_context) lines.push_back(number);
    if (context || source) after_context = context;
  }
  return lines;
}

// The line where each message of `file` starts, as `contents` shows them;
// nothing when the two do not count the same messages, so that no entry is
// ever given another's line.
std::vector<std::size_t> placed_lines(po_file_t file, std::string_view contents) {
  std::vector<std::size_t> lines = message_lines(contents);
  std::size_t messages = 0;
  po_message_iterator_t at = po_message_iterator(file, nullptr);
  while (po_next_message(at) != nullptr) ++messages;
  po_message_iterator_free(at);
  if (messages != lines.size()) lines.clear();
  return lines;
}

// The file as gettext's library writes it, read back into `out`.
Outcome written_text(po_file_t file, const std::string& what, std::string& out) {
  ScratchFile scratch;
  if (!scratch.ok()) return Failure{{}, "no temporary file for " + what + ": " + std::string(std::strerror(errno))};
  LibraryReport report;
  with_report(report, [&] { po_file_write(file, scratch.path(), &kHandler); });
  if (!report.error.empty()) return Failure{{}, "gettext's library could not write " + what + ": " + report.error};
  return read_whole_file(scratch.path(), kMostTemplateBytes, out);
}

// `contents`, the PO file `name`, parsed by gettext's library.
Outcome parsed_file(const std::string& name, std::string_view contents, PoFile& parsed) {
  ScratchFile scratch;
  if (!scratch.ok() || !scratch.write(contents)) {
    return Failure{name, "no temporary copy for gettext's library: " + std::string(std::strerror(errno))};
  }
  LibraryReport report;
  po_file_t file = nullptr;
  with_report(report, [&] { file = po_file_read(scratch.path(), &kHandler); });
  parsed.reset(file);
  if (!report.error.empty() || file == nullptr) {
    return Failure::at(name, report.line, 0, report.error.empty() ? "not a PO file" : report.error);
  }
  return std::nullopt;
}

// An entry's extracted comments without those an earlier refusal wrote,
// and with `reasons` (each a line) when it is refused now.
std::string comments_with(const char* comments, const std::vector<std::string>* reasons) {
  std::string kept;
  for (const std::string_view line : split_lines(comments != nullptr ? comments : "")) {
    if (line.substr(0, std::string_view(kRefusedComment).size()) == kRefusedComment) continue;
    kept.append(line).push_back('\n');
  }
  if (reasons != nullptr) {
    for (const std::string& reason : *reasons) kept += kRefusedComment + reason + "\n";
  }
  return kept;
}

}  // namespace

namespace {

// The catalogue with each item's translation (Shift-JIS) as its msgstr, or
// none at all when `translations` is empty.
Outcome write_catalogue(const std::vector<CatalogueItem>& items, std::span<const std::string> translations,
                        std::string_view version, std::uint32_t image_crc, std::string& out) {
  const Cp932ToUtf8 to_utf8;
  if (!to_utf8.available()) return Failure{{}, "the C library cannot convert CP932 to UTF-8"};
  const PoFile file(po_file_create(), free_po_file);
  po_message_iterator_t at = po_message_iterator(file.get(), nullptr);
  po_message_t header = po_message_create();
  po_message_set_msgid(header, "");
  // The fields a template's header has, with the placeholders msginit fills in.
  const std::string fields = "Project-Id-Version: ambergale " + std::string(version) +
                             "\nPO-Revision-Date: YEAR-MO-DA HO:MI+ZONE\n"
                             "Last-Translator: FULL NAME <EMAIL@ADDRESS>\n"
                             "Language-Team: LANGUAGE <LL@li.org>\n"
                             "Language: \n"
                             "MIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
                             "Content-Transfer-Encoding: 8bit\n" +
                             kImageField + ": " + hex_text(image_crc, 8) + "\n";
  po_message_set_msgstr(header, fields.c_str());
  po_message_set_comments(header, utf8_of(to_utf8, tag_notes()).c_str());
  po_message_set_fuzzy(header, 1);
  po_message_insert(at, header);
  for (std::size_t k = 0; k < items.size(); ++k) {
    const CatalogueItem& item = items[k];
    po_message_t message = po_message_create();
    po_message_set_msgctxt(message, item.context.c_str());
    po_message_set_msgid(message, utf8_of(to_utf8, item.text).c_str());
    po_message_set_msgstr(message, k < translations.size() ? utf8_of(to_utf8, translations[k]).c_str() : "");
    po_message_set_extracted_comments(message, utf8_of(to_utf8, item.comment).c_str());
    for (const CatalogueLine& line : item.lines) po_message_add_filepos(message, kDumpFiles[line.dump].name, line.number);
    po_message_insert(at, message);
  }
  po_message_iterator_free(at);
  return written_text(file.get(), translations.empty() ? "the template" : "the catalogue", out);
}

}  // namespace

Outcome write_po_template(const std::vector<CatalogueItem>& items, std::string_view version, std::uint32_t image_crc,
                          std::string& out) {
  return write_catalogue(items, {}, version, image_crc, out);
}

Outcome write_po_catalogue(const std::vector<CatalogueItem>& items, std::span<const std::string> translations,
                           std::string_view version, std::uint32_t image_crc, std::string& out) {
  if (translations.size() != items.size()) return Failure{{}, "a translation for each item is needed, or an empty one"};
  return write_catalogue(items, translations, version, image_crc, out);
}

Outcome read_po_file(const std::string& name, std::string_view contents, PoCatalogue& out) {
  out = {};
  PoFile owned(nullptr, free_po_file);
  if (Outcome failure = parsed_file(name, contents, owned)) return failure;
  po_file_t file = owned.get();
  // The library hands out copies of the header and its fields, ours to free.
  if (char* header = const_cast<char*>(po_file_domain_header(file, nullptr))) {
    if (char* field = po_header_field(header, kImageField)) {
      out.image_crc = field;
      std::free(field);
    }
    std::free(header);
  }
  const std::vector<std::size_t> lines = placed_lines(file, contents);
  po_message_iterator_t at = po_message_iterator(file, nullptr);
  std::size_t index = 0;
  for (po_message_t message = po_next_message(at); message != nullptr; message = po_next_message(at), ++index) {
    const char* context = po_message_msgctxt(message);
    const char* source = po_message_msgid(message);
    if (context == nullptr && source != nullptr && *source == '\0') continue;  // the header
    PoEntry entry;
    entry.context = context != nullptr ? context : "";
    entry.source = source != nullptr ? source : "";
    entry.translation = po_message_msgstr(message) != nullptr ? po_message_msgstr(message) : "";
    entry.fuzzy = po_message_is_fuzzy(message) != 0;
    entry.obsolete = po_message_is_obsolete(message) != 0;
    entry.plural = po_message_msgid_plural(message) != nullptr;
    if (index < lines.size()) entry.line = lines[index];
    out.entries.push_back(std::move(entry));
  }
  po_message_iterator_free(at);
  return std::nullopt;
}

Outcome write_refused_catalogue(const std::string& name, std::string_view contents,
                                const std::map<std::size_t, std::vector<std::string>>& refused, std::string& out) {
  PoFile owned(nullptr, free_po_file);
  if (Outcome failure = parsed_file(name, contents, owned)) return failure;
  const std::vector<std::size_t> lines = placed_lines(owned.get(), contents);
  if (lines.empty() && !refused.empty()) return Failure{name, "cannot tell where its entries start, so no refused catalogue is written"};
  po_message_iterator_t at = po_message_iterator(owned.get(), nullptr);
  std::size_t index = 0;
  for (po_message_t message = po_next_message(at); message != nullptr; message = po_next_message(at), ++index) {
    const auto found = lines.empty() ? refused.end() : refused.find(lines[index]);
    const bool refused_now = found != refused.end();
    // A fuzzy entry this run skipped keeps what an earlier run said of it.
    if (!refused_now && po_message_is_fuzzy(message) != 0) continue;
    const std::string comments = comments_with(po_message_extracted_comments(message), refused_now ? &found->second : nullptr);
    po_message_set_extracted_comments(message, comments.c_str());
    if (refused_now) po_message_set_fuzzy(message, 1);
  }
  po_message_iterator_free(at);
  return written_text(owned.get(), name, out);
}

}  // namespace ambergale
