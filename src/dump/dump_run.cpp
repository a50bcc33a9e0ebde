#include "dump/dump_run.hpp"

#include <optional>

#include "dump/dumps.hpp"
#include "dump/load_tables.hpp"
#include "script/opcodes.hpp"

namespace ambergale {

namespace {

// The notes for an image taken from part of its file.
void note_framing(const std::string& name, const ImageFrame& frame, const std::function<void(const std::string&)>& note) {
  if (frame.copier_header) note(name + ": skipped the 512-byte copier header in front of the image");
  if (frame.truncated) {
    note(name + ": larger than a cartridge image of " + std::to_string(kImageSize) +
         " bytes (4 MiB); only its first 4 MiB are dumped");
  }
}

// A failure of the image, named after it when the run knows its name: a run
// in memory leaves that to its caller.
Failure about_image(Failure failure, const DumpInputs& inputs) {
  return inputs.image_name.empty() ? failure : failure.about(inputs.image_name);
}

// The run, its tables kept in `tables`.
Outcome run_dump_keeping(const DumpInputs& inputs, const DumpSettings& settings, DumpSink& sink,
                         const std::function<void(const std::string&)>& note, std::shared_ptr<Tables>& tables) {
  Cartridge cart;
  ImageFrame frame;
  if (Outcome failure = frame_cartridge(inputs.image, cart, frame)) return about_image(*failure, inputs);
  note_framing(inputs.image_name, frame, note);

  tables = std::make_shared<Tables>();
  if (Outcome failure = load_image_tables(cart, *tables)) return about_image(*failure, inputs);
  if (inputs.amend_tables) inputs.amend_tables(*tables);
  std::string opcode_file;
  if (Outcome failure = inputs.read_opcodes(opcode_file)) return failure->about(inputs.opcode_name);
  if (const std::optional<std::string> doubt = opcode_file_doubt(opcode_file)) note(inputs.opcode_name + ": " + *doubt);
  if (Outcome failure = load_opcode_table(opcode_file, *tables)) return failure->about(inputs.opcode_name);

  std::optional<Cp932ToUtf8> utf8;
  if (settings.encoding == Encoding::utf8) {
    utf8.emplace();
    if (!utf8->available()) return Failure{{}, "the C library cannot convert CP932 to UTF-8"};
  }
  const TextFormat format{utf8 ? &*utf8 : nullptr, settings.crlf};
  // Each dump is finished before the next begins, and none takes its place
  // before all four are finished: the dumps in a folder always come from one
  // run. The first failure ends the run.
  OutputBudget budget{settings.max_output};
  for (const DumpFile& dump : kDumpFiles) {
    TextOutput& out = sink.open(dump.name, budget, format);
    if (out.ok()) dump.write(cart, *tables, out);
    if (Outcome failure = sink.finish()) return failure;
  }
  for (const DumpInputs::ExtraFile& extra : inputs.extra_files) {
    std::string bytes;
    if (Outcome failure = extra.make(cart, *tables, bytes)) return failure->about(extra.name);
    TextOutput& out = sink.open(extra.name, budget, TextFormat{nullptr, false});  // its own bytes, as made
    if (out.ok()) {
      out.line_text().append(bytes);
      out.hand_on();
    }
    if (Outcome failure = sink.finish()) return failure;
  }
  return sink.commit();
}

}  // namespace

Outcome run_dump(const DumpInputs& inputs, const DumpSettings& settings, DumpSink& sink,
                 const std::function<void(const std::string&)>& note) {
  std::shared_ptr<Tables> tables;
  return run_dump_keeping(inputs, settings, sink, note, tables);
}

TextOutput& MemorySink::open(const std::string& name, OutputBudget& budget, const TextFormat& format) {
  outputs_.push_back(std::make_unique<MemoryOutput>(name, budget, format, keep_));
  return *outputs_.back();
}

Outcome MemorySink::finish() {
  outputs_.back()->hand_on();
  return outputs_.back()->failure();
}

MemoryRun run_in_memory(std::span<const std::uint8_t> image_file, std::string_view opcode_file,
                        const DumpSettings& settings, bool keep_dumps,
                        const std::function<void(Tables& tables)>& amend_tables) {
  const DumpInputs inputs{image_file_in_memory(image_file), {}, "opcode file",
                          [&](std::string& contents) {
                            contents = opcode_file;
                            return Outcome{};
                          },
                          amend_tables, {}};
  MemorySink sink(keep_dumps);
  MemoryRun run;
  std::shared_ptr<Tables> tables;
  run.failure = run_dump_keeping(inputs, settings, sink, [](const std::string&) {}, tables);
  run.tables = std::move(tables);
  for (std::size_t d = 0; d < sink.outputs().size(); ++d) {
    run.dumps[d] = sink.output(d).take_contents();
    run.sizes[d] = sink.outputs()[d]->size();
  }
  return run;
}

}  // namespace ambergale
