#include "fake_platform.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "env_items.hpp"
#include "extraction.hpp"
#include "native_text.hpp"
#include "texts.hpp"

namespace neb::app::test {

ExpectedBox okBox(std::optional<std::string> text, std::string caption) {
  return ExpectedBox{std::move(text), std::move(caption), Buttons::Ok, Icon::None, Answer::Ok};
}

ExpectedBox question(Answer answer) {
  return ExpectedBox{std::string(text::askSearch), "NEB01", Buttons::YesNo, Icon::Exclamation, answer};
}

FakePlatform::FakePlatform(FileSystem& fs, NativeString appDir, NativeString argument)
    : fs_(fs), appDir_(std::move(appDir)), argument_(std::move(argument)) {}

FakePlatform::~FakePlatform() {
  for (const auto& b : boxes)
    ADD_FAILURE() << "message box never shown: " << sjisToUtf8Lossy(b.text.value_or("(any)"));
  EXPECT_TRUE(dialogs.empty()) << "dialog answers left over";
}

bool FakePlatform::isEnabled(Control c) const {
  const auto it = enabled.find(c);
  return it == enabled.end() || it->second;
}

std::string FakePlatform::caption(Control c) const {
  const auto it = captions.find(c);
  return it == captions.end() || it->second.empty() ? std::string() : it->second.back();
}

Answer FakePlatform::messageBox(std::string_view text, std::string_view caption, Buttons buttons,
                                Icon icon) {
  const auto& progress = captions[Control::Label3];
  shown.push_back({std::string(text), std::string(caption), progress.empty() ? "" : progress.back()});
  if (boxes.empty()) {
    ADD_FAILURE() << "unexpected message box: " << sjisToUtf8Lossy(text) << " / " << caption;
    return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
  }
  const ExpectedBox want = boxes.front();
  boxes.pop_front();
  if (want.text) {
    EXPECT_EQ(sjisToUtf8Lossy(text), sjisToUtf8Lossy(*want.text));
  }
  EXPECT_EQ(caption, want.caption) << sjisToUtf8Lossy(text);
  EXPECT_EQ(buttons, want.buttons) << sjisToUtf8Lossy(text);
  EXPECT_EQ(icon, want.icon) << sjisToUtf8Lossy(text);
  return want.answer;
}

OpenFileResult FakePlatform::openFileDialog(const OpenFileRequest& request) {
  dialogRequests.push_back(request);
  if (dialogs.empty()) {
    ADD_FAILURE() << "unexpected file dialog";
    return {};
  }
  OpenFileResult r = dialogs.front();
  dialogs.pop_front();
  return r;
}

void FakePlatform::setCaption(Control control, std::string_view sjisText) {
  captions[control].emplace_back(sjisText);
}

void FakePlatform::setEnabled(Control control, bool on) { enabled[control] = on; }

bool FakePlatform::isChecked(Control control) { return checked[control]; }

void FakePlatform::setBusyCursor(bool on) { busy.push_back(on); }

void FakePlatform::processMessages() {
  ++pumps;
  if (onPump) onPump(pumps);
}

std::uint64_t FakePlatform::tickMs() {
  clock += tickStep;
  return clock;
}

void FakePlatform::startProcess(const NativeString& commandLine) {
  if (failStart) throw IoError(Path(commandLine), "start", "no such program");
  started.push_back(commandLine);
}

void FakePlatform::endProcess() {
  ++ends;
  throw ProcessEnded{};
}

void FakePlatform::dismissHelp(const NativeString& helpFile) { helpDismissed.push_back(helpFile); }

namespace {

IoError injected(const Path& path) { return IoError(path, "write", "injected fault"); }

class FaultWrite final : public WriteFile {
public:
  FaultWrite(std::unique_ptr<WriteFile> inner, const FaultFs& fs, Path path)
      : inner_(std::move(inner)), fs_(fs), path_(std::move(path)) {}
  void write(const void* data, std::size_t n) override {
    if (fs_.hits(FaultFs::Step::Write, path_)) throw injected(path_);
    inner_->write(data, n);
  }
  void commit() override {
    if (fs_.hits(FaultFs::Step::Commit, path_)) throw injected(path_);
    inner_->commit();
  }

private:
  std::unique_ptr<WriteFile> inner_;
  const FaultFs& fs_;
  Path path_;
};

}  // namespace

bool FaultFs::hits(Step s, const Path& path) const {
  return step == s && (fileName.empty() || path.filename().string() == fileName);
}

std::unique_ptr<WriteFile> FaultFs::createTruncate(const Path& path) {
  if (hits(Step::Create, path)) throw injected(path);
  return std::make_unique<FaultWrite>(os_.createTruncate(path), *this, path);
}

void FaultFs::removeFile(const Path& path) {
  if (hits(Step::Remove, path)) throw injected(path);
  os_.removeFile(path);
}

void FaultFs::replaceFile(const Path& source, const Path& target) {
  if (hits(Step::Replace, target)) throw injected(target);
  os_.replaceFile(source, target);
}

Scratch::Scratch() {
  static std::atomic<int> counter{0};
  std::ostringstream name;
  name << "neb_app_" << ::testing::UnitTest::GetInstance()->random_seed() << '_' << counter++ << '_'
       << reinterpret_cast<std::uintptr_t>(this);
  root = std::filesystem::temp_directory_path() / name.str();
  std::filesystem::remove_all(root);
  appDir = root / "app";
  std::filesystem::create_directories(appDir / "data");
  envFile = root / "ENV.DAT";
  workFile = appDir / "data" / "Work.Txt";
  tempFile = appDir / "nebwdw.tmp";
}

Scratch::~Scratch() {
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
}

NativeString Scratch::argument() const { return NEB_NATIVE(" ") + envFile.native(); }

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string sjisPath(const std::filesystem::path& path) {
  const auto s = nativeToSjis(path.native());
  EXPECT_TRUE(s.has_value());
  return s.value_or("");
}

namespace {

void put(std::string& rec, std::size_t offset, std::string_view text, std::size_t width) {
  std::string field(text.substr(0, width));
  field.resize(width, ' ');
  rec.replace(offset, width, field);
}

}  // namespace

void writeDatabase(const std::filesystem::path& dbs, const std::vector<QsoBytes>& qsos,
                   std::optional<std::uint32_t> headerCount) {
  const std::uint32_t count = headerCount.value_or(static_cast<std::uint32_t>(qsos.size()));
  std::string bytes(449, '\0');
  bytes.replace(0, 4, "HLOG");
  bytes[4] = static_cast<char>(count & 0xFF);
  bytes[5] = static_cast<char>((count >> 8) & 0xFF);
  bytes[6] = static_cast<char>((count >> 16) & 0xFF);
  for (const QsoBytes& q : qsos) {
    std::string rec(58, ' ');
    put(rec, 1, q.call, 7);
    put(rec, 8, q.portable, 3);
    put(rec, 23, q.frequency, 4);
    put(rec, 27, q.mode, 3);
    const unsigned char tail[] = {124, 5, 6, 12, 30 | 0x80, 59, ' ', 59, ' ', 0, 0, 0, 0};
    rec.replace(45, sizeof tail, reinterpret_cast<const char*>(tail), sizeof tail);
    bytes += rec;
  }
  writeFile(dbs, bytes);
  auto dbr = dbs;
  dbr.replace_extension(".DBR");
  writeFile(dbr, "");
}

NativeString nat(std::string_view ascii) {
  NativeString out = nativeAscii(ascii);
  for (auto& c : out)
    if (c == static_cast<NativeChar>('|')) c = kSeparator;
  return out;
}

std::string sep(std::string_view ascii) {
  std::string out(ascii);
  for (auto& c : out)
    if (c == '|') c = static_cast<char>(kSeparator);
  return out;
}

void AppTest::ready(const std::vector<QsoBytes>& qsos, std::string moreEnv) {
  writeDatabase(dbs(), qsos);
  writeFile(dir.envFile, "#01," + sjisPath(dbs()) + "\r\n" + moreEnv);
  form.Form_Load();
  ASSERT_TRUE(ui.shown.empty());
}

void AppTest::declined(std::string env) {
  writeFile(dir.envFile, env);
  ui.boxes = {okBox(std::nullopt, "NEB01"), question(Answer::No)};
  form.Form_Load();
  ASSERT_TRUE(ui.boxes.empty());
}

NativeString AppTest::menuCommand() const {
  return dir.appDir.native() + nat("|nebmenu.exe ") + dir.argument();
}

namespace {
struct CollectSink final : MessageSink {
  void showMessage(std::string_view, std::string_view) override {}
};
}  // namespace

std::string AppTest::reference(bool check1, bool check2) const { return test::reference(dir, check1, check2); }

std::string reference(const Scratch& dir, bool check1, bool check2) {
  OsFileSystem os;
  CollectSink sink;
  const EnvItems env = readEnvItems(readFile(dir.envFile));
  ModeTable modes;
  if (std::filesystem::exists(dir.appDir / "Mode.txt")) modes.load(readFile(dir.appDir / "Mode.txt"));
  ExtractJob job;
  job.hamlogPath = sjisPath(dir.root / "LOG.DBS");
  job.conversions = Conversions{check1, &env.areaPrefixes, check2, &modes};
  job.tempPath = dir.root / "ref.tmp";
  job.workPath = dir.root / "ref.txt";
  runExtraction(os, sink, job);
  return readFile(job.workPath);
}

}  // namespace neb::app::test
