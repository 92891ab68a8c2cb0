// vostrel-bench: what a relink costs, on front-ends of growing size and
// catalogs of growing length, and against the tools a user could run
// instead. Prints a Markdown report; progress goes to standard error.
//
// Every measurement runs in a process of its own: the engine's operations
// in "vostrel-bench probe ..." (timed inside, so process start is left
// out), the programs as whole processes (timed from start to exit). Runs of
// the cases being compared alternate, so that a slow moment of the machine
// falls on all of them alike.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "bench/probe.h"
#include "bench/stats.h"
#include "bench/workload.h"

namespace bench {
namespace {

const char kUsage[] =
    "usage: vostrel-bench [options]\n"
    "       vostrel-bench probe idle | open FILE [--evict] | relink[-opened] FILE LINK [PASSWORD] | derive FILE PASSWORD\n"
    "\n"
    "  --bin DIR        where vostrel-mkdb, vostrel-cli and vostrel are (default: beside this program)\n"
    "  --scratch DIR    where the files are made (default: /tmp/vostrel-bench)\n"
    "  --sizes LIST     front-end sizes (default: 1M,100M,1G)\n"
    "  --tables LIST    extra links of the catalog cases (default: 10,1000,10000)\n"
    "  --runs N         runs of each engine measurement (default: 21)\n"
    "  --process-runs N runs of each whole program (default: 11)\n"
    "  --no-gui         leave out the window\n"
    "  --scan N         front-ends in the tree vostrel-cli scan walks (default: 2000; 0 leaves it out)\n"
    "  --only-scan      measure the scan alone\n"
    "  --maps LIST      lines of the path map files read (default: 1000,20000,100000; 0 leaves them out)\n"
    "  --only-maps      measure the path map files alone\n"
    "  --encrypted S    size of the encrypted front-ends relinked (default: 100M; 0 leaves them out)\n"
    "  --only-encrypted measure the encrypted front-ends alone\n"
    "  --only-samba     measure the relink with and without Samba's testparm alone\n"
    "  --keep           keep the made files for the next run\n";

// Goals the figures are held against.
constexpr double kSameTimeTolerance = 0.10;  // the largest front-end within 10 % of the smallest
constexpr uint64_t kHandfulOfPages = 8;
constexpr double kLinearExponent = 1.0;
constexpr double kExponentNoise = 0.15;      // what run-to-run noise may add to a fitted exponent
constexpr double kEncryptedRelinkRatio = 1.5;  // an encrypted relink, less its key derivation, against a plain one

struct Options {
  std::string bin_dir;
  std::string scratch = "/tmp/vostrel-bench";
  std::vector<uint64_t> sizes = {1ull << 20, 100ull << 20, 1ull << 30};
  std::vector<int> tables = {10, 1000, 10000};
  int runs = 21;
  int process_runs = 11;
  bool gui = true;
  bool keep = false;
  int scan = 2000;
  bool only_scan = false;
  std::vector<int> map_lines = {1000, 20000, 100000};
  bool only_maps = false;
  uint64_t encrypted_size = 100ull << 20;
  bool only_encrypted = false;
  bool only_samba = false;
};

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ',');)
    if (!part.empty()) parts.push_back(part);
  return parts;
}

std::string SelfDir() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? "." : self.parent_path().string();
}

// Throws std::invalid_argument on a bad option.
Options ParseOptions(const std::vector<std::string>& args) {
  Options o;
  o.bin_dir = SelfDir();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw std::invalid_argument(a + " needs a value");
      return args[++i];
    };
    if (a == "--bin") o.bin_dir = value();
    else if (a == "--scratch") o.scratch = value();
    else if (a == "--runs") o.runs = std::max(1, std::stoi(value()));
    else if (a == "--process-runs") o.process_runs = std::max(1, std::stoi(value()));
    else if (a == "--no-gui") o.gui = false;
    else if (a == "--keep") o.keep = true;
    else if (a == "--scan") o.scan = std::max(0, std::stoi(value()));
    else if (a == "--only-scan") o.only_scan = true;
    else if (a == "--only-maps") o.only_maps = true;
    else if (a == "--only-encrypted") o.only_encrypted = true;
    else if (a == "--encrypted") {
      o.encrypted_size = ParseSize(value());
    }
    else if (a == "--only-samba") o.only_samba = true;
    else if (a == "--sizes") {
      o.sizes.clear();
      for (const std::string& s : Split(value())) {
        const uint64_t bytes = ParseSize(s);
        if (bytes == 0) throw std::invalid_argument("bad size " + s);
        o.sizes.push_back(bytes);
      }
    } else if (a == "--tables" || a == "--maps") {
      std::vector<int>& counts = a == "--tables" ? o.tables : o.map_lines;
      counts.clear();
      for (const std::string& s : Split(value())) counts.push_back(std::stoi(s));
    } else {
      throw std::invalid_argument("unknown option " + a);
    }
  }
  if (o.sizes.empty()) throw std::invalid_argument("no sizes");
  return o;
}

void Progress(const std::string& text) { std::cerr << "vostrel-bench: " << text << std::endl; }

// --- Engine measurements, each in a probe process ---

class Prober {
 public:
  explicit Prober(std::string self) : self_(std::move(self)) {}

  ProbeResult Run(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {self_, "probe"};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessOptions options;
    options.capture_stdout = true;
    const ProcessResult r = RunProcess(argv, options);
    const std::optional<ProbeResult> parsed = r.ok() ? ParseProbe(r.out) : std::nullopt;
    if (!parsed) throw std::runtime_error(Describe(argv, r));
    return *parsed;
  }

 private:
  std::string self_;
};

struct ProbeRuns {
  std::vector<ProbeResult> runs;

  Summary Time() const { return Pick([](const ProbeResult& r) { return r.seconds; }); }
  Summary Cpu() const { return Pick([](const ProbeResult& r) { return r.cpu_seconds; }); }
  Summary PagesRead() const { return Pick([](const ProbeResult& r) { return double(r.pages_read); }); }
  Summary PagesWritten() const { return Pick([](const ProbeResult& r) { return double(r.pages_written); }); }
  Summary Syncs() const { return Pick([](const ProbeResult& r) { return double(r.syncs); }); }
  Summary Hwm() const { return Pick([](const ProbeResult& r) { return double(r.hwm_kib); }); }

  Summary Pick(const std::function<double(const ProbeResult&)>& field) const {
    std::vector<double> v;
    for (const ProbeResult& r : runs) v.push_back(field(r));
    return Summarize(v);
  }
};

// "7" when every run agrees, else "7 – 9".
std::string Range(const Summary& s) {
  char text[64];
  if (s.min == s.max) std::snprintf(text, sizeof text, "%.0f", s.min);
  else std::snprintf(text, sizeof text, "%.0f – %.0f", s.min, s.max);
  return text;
}

std::string Ratio(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

// Which of the two back-ends a round links to; the warm-up round is -1.
int BackEndOfRound(int round) { return (round + 2) % 2; }

std::string LinkTo(const std::string& backend_folder) { return ";DATABASE=" + backend_folder + "/PARTNER.MDB"; }

// --- The report ---

class Report {
 public:
  void Heading(const std::string& text) { out_ << "\n## " << text << "\n\n"; }
  void Line(const std::string& text) { out_ << text << "\n"; }
  void Row(const std::vector<std::string>& cells) {
    out_ << "|";
    for (const std::string& c : cells) out_ << " " << c << " |";
    out_ << "\n";
  }
  void Header(const std::vector<std::string>& cells) {
    Row(cells);
    Row(std::vector<std::string>(cells.size(), "---"));
  }
  // A goal and whether the figures meet it; also kept for the summary.
  void Goal(const std::string& goal, bool met, const std::string& figures) {
    const std::string line = std::string(met ? "**met**" : "**MISSED**") + ": " + goal + " (" + figures + ")";
    out_ << "\n" << line << "\n";
    goals_.push_back(line);
  }
  void Summary() {
    Heading("Goals");
    for (const std::string& g : goals_) out_ << "- " << g << "\n";
  }
  std::string Text() const { return out_.str(); }

 private:
  std::ostringstream out_;
  std::vector<std::string> goals_;
};

class Bench {
 public:
  Bench(const Options& o, const std::string& self)
      : o_(o), prober_(self), workload_(o.bin_dir, o.scratch) {}

  void Run() {
    const auto& be = workload_.BackEndFolders();
    backends_ = be;
    if (o_.only_scan || o_.only_maps || o_.only_encrypted || o_.only_samba) {
      if (o_.only_scan && o_.scan > 0) ScanTree(o_.scan);
      if (o_.only_maps) MapFiles();
      if (o_.only_encrypted) Encrypted();
      if (o_.only_samba) {
        const FrontEnd fe = workload_.MakeFrontEnd(SizeLabel(1ull << 20), 1ull << 20, 0);
        SambaRelink(fe);
        if (!o_.keep) workload_.Remove(fe);
      }
      report_.Summary();
      return;
    }
    Floor();

    std::vector<FrontEnd> sized;
    for (uint64_t bytes : o_.sizes) {
      if (workload_.FreeBytes() < 2 * bytes + (256ull << 20)) {
        report_.Line("\nLeft out the " + SizeLabel(bytes) + " front-end: too little free disk space.");
        continue;
      }
      Progress("making the " + SizeLabel(bytes) + " front-end");
      sized.push_back(workload_.MakeFrontEnd(SizeLabel(bytes), bytes, 0));
    }
    std::vector<FrontEnd> catalogs;
    for (int n : o_.tables) {
      Progress("making the front-end with " + std::to_string(n) + " more links");
      catalogs.push_back(workload_.MakeFrontEnd(std::to_string(n) + " more links", 0, n));
    }

    OpenBySize(sized);
    RelinkBySize(sized);
    if (!catalogs.empty()) ByCatalog(catalogs);
    std::vector<FrontEnd> peer_files = sized;
    if (!catalogs.empty()) peer_files.push_back(catalogs.back());
    Peers(peer_files);
    if (o_.gui) Window(sized);
    if (o_.scan > 0) ScanTree(o_.scan);
    MapFiles();
    Encrypted();
    if (!sized.empty()) SambaRelink(sized.front());
    report_.Summary();

    if (!o_.keep) {
      for (const FrontEnd& fe : sized) workload_.Remove(fe);
      for (const FrontEnd& fe : catalogs) workload_.Remove(fe);
    }
  }

  std::string Text() const { return report_.Text(); }

 private:
  std::string TimeReport() const { return o_.scratch + "/time-report.txt"; }

  long TimeFloorKib() {
    if (time_floor_kib_ == 0) time_floor_kib_ = PeakRssViaTime({"/bin/true"}, {}, TimeReport());
    return time_floor_kib_;
  }

  // What a probe costs doing nothing: the floor under every peak memory figure.
  void Floor() {
    ProbeRuns idle;
    for (int i = 0; i < 5; ++i) idle.runs.push_back(prober_.Run({"idle"}));
    report_.Line("Peak memory of a probe is its VmHWM (the peak resident set of the probe's own process image; "
                 "ru_maxrss would start from the bench's own peak, as a child inherits it). A probe that does "
                 "nothing peaks at " + FormatKib(idle.Hwm().median) + ": the floor under those figures.");
  }

  // Runs `probe` for every case, round after round, the cases alternating; a
  // first round warms the page cache and is not counted.
  std::vector<ProbeRuns> Rounds(size_t cases, int runs,
                                const std::function<std::vector<std::string>(size_t, int)>& probe) {
    std::vector<ProbeRuns> out(cases);
    for (int round = -1; round < runs; ++round)
      for (size_t c = 0; c < cases; ++c) {
        ProbeResult r = prober_.Run(probe(c, round));
        if (round >= 0) out[c].runs.push_back(std::move(r));
      }
    return out;
  }

  void OpenBySize(const std::vector<FrontEnd>& fes) {
    Progress("1: open and read Partner's link");
    report_.Heading("1. Open a front-end and read the link of Partner");
    report_.Line("In-process time of OpenDatabase + TableDefs().Item(\"Partner\").Connect() (and closing), " +
                 std::to_string(o_.runs) + " runs each. Warm: the file is in the page cache. Cold: the file was "
                 "dropped from the page cache (posix_fadvise DONTNEED) just before.\n");
    report_.Header({"front-end", "file", "warm: median", "warm: spread", "cold: median", "cold: spread",
                    "pages read", "peak memory"});
    std::vector<ProbeRuns> warm = Rounds(fes.size(), o_.runs, [&](size_t c, int) {
      return std::vector<std::string>{"open", fes[c].file};
    });
    std::vector<ProbeRuns> cold = Rounds(fes.size(), o_.runs, [&](size_t c, int) {
      return std::vector<std::string>{"open", fes[c].file, "--evict"};
    });
    for (size_t c = 0; c < fes.size(); ++c)
      report_.Row({fes[c].label, SizeLabel(fes[c].bytes) + " (" + std::to_string(fes[c].bytes) + " B)",
                   FormatSeconds(warm[c].Time().median), FormatSpread(warm[c].Time()),
                   FormatSeconds(cold[c].Time().median), FormatSpread(cold[c].Time()), Range(warm[c].PagesRead()),
                   FormatKib(warm[c].Hwm().median)});
    if (fes.size() < 2) return;
    const size_t last = fes.size() - 1;
    for (auto [name, runs] : {std::pair{"warm", &warm}, std::pair{"cold", &cold}}) {
      const double ratio = (*runs)[last].Time().median / (*runs)[0].Time().median;
      report_.Goal(std::string("open and read, ") + name + ": " + fes[last].label + " within 10 % of " +
                       fes[0].label,
                   ratio <= 1 + kSameTimeTolerance, "ratio of medians " + Ratio(ratio));
    }
    bool same_pages = true;
    for (size_t c = 0; c < fes.size(); ++c)
      for (const ProbeResult& r : warm[c].runs) same_pages &= r.pages_read == warm[0].runs[0].pages_read;
    report_.Goal("open and read: the same pages read at every size", same_pages,
                 Range(warm[0].PagesRead()) + " at " + fes[0].label + ", " + Range(warm[last].PagesRead()) +
                     " at " + fes[last].label);
  }

  std::vector<ProbeRuns> Relinks(const std::vector<FrontEnd>& fes) {
    return Rounds(fes.size(), o_.runs, [&](size_t c, int round) {
      return std::vector<std::string>{"relink", fes[c].file, LinkTo(backends_[BackEndOfRound(round)])};
    });
  }

  void RelinkBySize(const std::vector<FrontEnd>& fes) {
    Progress("2: the whole relink");
    report_.Heading("2. The whole relink");
    report_.Line("In-process time of open, SetConnect, RefreshLink (which opens the back-end, checks it holds "
                 "Partner, writes and syncs); the link alternates between two back-ends; " +
                 std::to_string(o_.runs) + " runs each. Pages read count the back-end's too; syncs count "
                 "every fsync of the database, its journal and their folder.\n");
    report_.Header({"front-end", "median", "spread", "pages read", "pages written", "syncs", "peak memory"});
    std::vector<ProbeRuns> runs = Relinks(fes);
    for (size_t c = 0; c < fes.size(); ++c)
      report_.Row({fes[c].label, FormatSeconds(runs[c].Time().median), FormatSpread(runs[c].Time()),
                   Range(runs[c].PagesRead()), Range(runs[c].PagesWritten()), Range(runs[c].Syncs()),
                   FormatKib(runs[c].Hwm().median)});
    Verify(fes);
    uint64_t most_written = 0, most_syncs = 0, fewest_syncs = ~0ull;
    bool same_writes = true;
    for (const ProbeRuns& p : runs)
      for (const ProbeResult& r : p.runs) {
        most_written = std::max(most_written, r.pages_written);
        most_syncs = std::max(most_syncs, r.syncs);
        fewest_syncs = std::min(fewest_syncs, r.syncs);
        same_writes &= r.pages_written == runs[0].runs[0].pages_written;
      }
    report_.Goal("relink: a handful of pages written (at most " + std::to_string(kHandfulOfPages) +
                     "), the same at every size",
                 most_written <= kHandfulOfPages && same_writes,
                 "at most " + std::to_string(most_written) + (same_writes ? ", every run alike" : ", varies"));
    report_.Goal("relink: one sync", most_syncs == 1,
                 fewest_syncs == most_syncs ? std::to_string(most_syncs) + " in every run"
                                            : std::to_string(fewest_syncs) + " – " + std::to_string(most_syncs));
    if (fes.size() >= 2) {
      const double ratio = runs.back().Time().median / runs.front().Time().median;
      report_.Line("\nRelink time, " + fes.back().label + " against " + fes.front().label + ": ratio of medians " +
                   Ratio(ratio) + ".");
    }
  }

  // A relink of an encrypted front-end against the same file plain: the
  // pages read and written are decrypted and encrypted; the key derivation
  // (the spin count's hashes), paid once per open, is measured apart.
  void Encrypted() {
    const uint64_t bytes = o_.encrypted_size;
    if (bytes == 0) return;
    if (workload_.FreeBytes() < 3 * bytes + (256ull << 20)) {
      report_.Line("\nLeft out the encrypted front-ends: too little free disk space.");
      return;
    }
    Progress("making the encrypted " + SizeLabel(bytes) + " front-ends");
    const std::vector<std::string> kinds = {"", "agile", "rc4"};
    std::vector<FrontEnd> fes;
    for (const std::string& kind : kinds)
      fes.push_back(workload_.MakeAceFrontEnd(SizeLabel(bytes) + (kind.empty() ? ", plain" : ", " + kind), bytes, kind));
    Progress("encrypted front-ends: relinks and key derivations");
    report_.Heading("Encrypted front-ends");
    report_.Line("ACE 2010 front-ends of " + SizeLabel(bytes) + ", plain, agile (AES-256, SHA-512, spin count "
                 "100000, as the desktop program writes) and RC4 CryptoAPI; the whole relink as in 2, " +
                 std::to_string(o_.runs) + " runs each, and the key derivation alone (the password checked against "
                 "the descriptor's verifier, the page key derived), which every open pays once.\n");
    auto relink = [&](const char* probe) {
      return Rounds(fes.size(), o_.runs, [&](size_t c, int round) {
        std::vector<std::string> args = {probe, fes[c].file, LinkTo(backends_[BackEndOfRound(round)])};
        if (!kinds[c].empty()) args.push_back(kPassword);
        return args;
      });
    };
    std::vector<ProbeRuns> relinks = relink("relink");
    std::vector<ProbeRuns> opened = relink("relink-opened");
    std::vector<ProbeRuns> derive = Rounds(fes.size(), o_.runs, [&](size_t c, int) {
      // The plain file has no derivation: its probe does nothing.
      return kinds[c].empty() ? std::vector<std::string>{"idle"}
                              : std::vector<std::string>{"derive", fes[c].file, kPassword};
    });
    report_.Line("Processor time (user and system) is held against the goal, for the relink of a file already "
                 "open (relink-opened: its catalog read again under the lock, the back-end checked, the pages "
                 "written and synced): on a shared machine the wall time is mostly the wait for the disk's "
                 "sync, which neither cipher changes, and a difference of two medians of the key derivation's "
                 "size is noise at the scale of a relink.\n");
    report_.Header({"front-end", "relink: median", "spread", "processor", "key derivation (processor)",
                    "relink of the open file (processor)", "against plain", "pages read", "pages written"});
    const double plain = opened[0].Cpu().median;
    for (size_t c = 0; c < fes.size(); ++c)
      report_.Row({fes[c].label, FormatSeconds(relinks[c].Time().median), FormatSpread(relinks[c].Time()),
                   FormatSeconds(relinks[c].Cpu().median), kinds[c].empty() ? "-" : FormatSeconds(derive[c].Cpu().median),
                   FormatSeconds(opened[c].Cpu().median), Ratio(opened[c].Cpu().median / plain),
                   Range(relinks[c].PagesRead()), Range(relinks[c].PagesWritten())});
    for (size_t c = 1; c < fes.size(); ++c)
      report_.Goal("relink of an encrypted " + SizeLabel(bytes) + " front-end (" + kinds[c] + "), its key "
                       "derivation apart, within " + Ratio(kEncryptedRelinkRatio) + "x of the plain one",
                   opened[c].Cpu().median <= kEncryptedRelinkRatio * plain,
                   "ratio of medians " + Ratio(opened[c].Cpu().median / plain));
    if (!o_.keep)
      for (const FrontEnd& fe : fes) workload_.Remove(fe);
  }

  // An independent reader must see the link the last relink stored.
  void Verify(const std::vector<FrontEnd>& fes) {
    const std::string expected = backends_[BackEndOfRound(o_.runs - 1)] + "/PARTNER.MDB";
    for (const FrontEnd& fe : fes) {
      std::vector<std::string> argv = {"/usr/bin/mdb-export", fe.file, "MSysObjects"};
      ProcessOptions options;
      options.capture_stdout = true;
      // MSysObjects of these front-ends is a few KiB: it fits in the pipe.
      const ProcessResult r = RunProcess(argv, options);
      if (!r.ok() || r.out.find(expected) == std::string::npos)
        throw std::runtime_error("mdb-export does not see the stored link in " + fe.file + ": " + Describe(argv, r));
    }
    report_.Line("\nAfter the runs, mdb-export reads MSysObjects of every file and finds the link last stored.");
  }

  void ByCatalog(const std::vector<FrontEnd>& fes) {
    Progress("3: catalogs of growing length");
    report_.Heading("3. Catalogs of growing length");
    report_.Line("Front-ends with no local table data and N more links T0001..TNNNN (Partner listed after them), "
                 "in-process, " + std::to_string(o_.runs) + " runs each.\n");
    std::vector<ProbeRuns> open = Rounds(fes.size(), o_.runs, [&](size_t c, int) {
      return std::vector<std::string>{"open", fes[c].file};
    });
    std::vector<ProbeRuns> relink = Relinks(fes);
    report_.Header({"catalog", "file", "open: median", "open: spread", "open: pages read", "relink: median",
                    "relink: spread", "relink: pages read", "relink: pages written", "syncs", "peak memory (relink)"});
    for (size_t c = 0; c < fes.size(); ++c)
      report_.Row({fes[c].label, SizeLabel(fes[c].bytes), FormatSeconds(open[c].Time().median),
                   FormatSpread(open[c].Time()), Range(open[c].PagesRead()), FormatSeconds(relink[c].Time().median),
                   FormatSpread(relink[c].Time()), Range(relink[c].PagesRead()), Range(relink[c].PagesWritten()),
                   Range(relink[c].Syncs()), FormatKib(relink[c].Hwm().median)});
    if (fes.size() < 2) return;
    // Growth between the two longest catalogs, as an exponent: time ~ n^k.
    const size_t a = fes.size() - 2, b = fes.size() - 1;
    const double n_ratio = double(o_.tables[b] + 3) / double(o_.tables[a] + 3);  // with Nastavitve, Partner, Artikli
    for (auto [name, runs] : {std::pair{"open", &open}, std::pair{"relink", &relink}}) {
      const double t_ratio = (*runs)[b].Time().median / (*runs)[a].Time().median;
      const double exponent = std::log(t_ratio) / std::log(n_ratio);
      report_.Goal(std::string(name) + ": grows no faster than the catalog (" + fes[a].label + " to " +
                       fes[b].label + ")",
                   exponent <= kLinearExponent + kExponentNoise,
                   "time x" + Ratio(t_ratio) + " for x" + Ratio(n_ratio) + " tables: exponent " + Ratio(exponent));
    }
  }

  struct Tool {
    std::string name;
    std::function<std::vector<std::string>(const FrontEnd&)> argv;
  };

  // A tree of `count` front-ends, a hundred to a folder, copies of four
  // made ones whose links reach the first back-end, the second, a Windows
  // path nothing maps and a missing file; a text file beside them in each
  // folder. Returns the tree's folder.
  std::string MakeScanTree(int count) {
    const std::string tree = o_.scratch + "/scan-" + std::to_string(count);
    std::filesystem::remove_all(tree);
    std::vector<std::string> templates;
    const std::vector<std::string> targets = {backends_[0] + "/PARTNER.MDB", backends_[1] + "/PARTNER.MDB",
                                              "Z:\\Baze\\PARTNER.MDB", backends_[0] + "/NI.MDB"};
    for (size_t i = 0; i < targets.size(); ++i) {
      const std::string file = tree + "/template-" + std::to_string(i) + ".mdb";
      std::filesystem::create_directories(tree);
      const std::vector<std::string> argv = {o_.bin_dir + "/vostrel-mkdb", "frontend", file, "--link",
                                             "Partner=" + targets[i], "--link", "Artikli=" + targets[i]};
      const ProcessResult r = RunProcess(argv);
      if (!r.ok()) throw std::runtime_error(Describe(argv, r));
      templates.push_back(file);
    }
    for (int i = 0; i < count; ++i) {
      const std::string folder = tree + "/d" + std::to_string(i / 100);
      if (i % 100 == 0) {
        std::filesystem::create_directories(folder);
        std::ofstream(folder + "/readme.txt") << "not a database\n";
      }
      std::filesystem::copy_file(templates[static_cast<size_t>(i) % templates.size()],
                                 folder + "/fe" + std::to_string(i) + ".mdb");
    }
    for (const std::string& t : templates) std::filesystem::remove(t);
    return tree;
  }

  void ScanTree(int count) {
    Progress("5: scan of " + std::to_string(count) + " front-ends");
    const std::string tree = MakeScanTree(count), small = MakeScanTree(std::max(1, count / 4));
    auto scan = [&](const std::string& dir) { return std::vector<std::string>{o_.bin_dir + "/vostrel-cli", "scan", dir}; };
    auto peers = [&](const std::string& dir) {
      return std::vector<std::string>{"/bin/sh", "-c",
                                      "find '" + dir + "' -type f -iname '*.mdb' -exec /usr/bin/mdb-tables {} \\;"};
    };
    const int runs = std::min(o_.process_runs, 3);
    std::vector<double> ours, theirs;
    long peak = 0;
    for (int round = 0; round < runs; ++round) {
      for (int t = 0; t < 2; ++t) {
        const std::vector<std::string> argv = t == 0 ? scan(tree) : peers(tree);
        const ProcessResult r = RunProcess(argv);
        // scan exits with 1: a quarter of the links are broken on purpose.
        if (!r.started || r.timed_out || r.exit_code < 0) throw std::runtime_error(Describe(argv, r));
        (t == 0 ? ours : theirs).push_back(r.seconds);
        if (t == 0) peak = std::max(peak, r.max_rss_kib);
      }
    }
    const Summary a = Summarize(ours), b = Summarize(theirs);
    // The process's own peak (ru_maxrss): GNU time takes scan's status 1
    // (a quarter of the links are broken) for a failure.
    const long peak_small = RunProcess(scan(small)).max_rss_kib;
    report_.Heading("5. Scan of a tree of front-ends");
    report_.Line(std::to_string(count) + " front-ends (copies of four: links to two back-ends, to an unmapped "
                 "Windows path, to a missing file) a hundred to a folder; `vostrel-cli scan` (which checks every "
                 "link) against `find -iname '*.mdb' -exec mdb-tables` (which only lists tables), output to "
                 "/dev/null, " + std::to_string(runs) + " runs each, alternating. Peak memory against a tree a "
                 "quarter the size.\n");
    report_.Header({"front-ends", "vostrel-cli scan", "find + mdb-tables", "ratio", "peak memory (quarter / whole)"});
    report_.Row({std::to_string(count), FormatSeconds(a.median) + " (" + FormatSpread(a) + ")",
                 FormatSeconds(b.median) + " (" + FormatSpread(b) + ")", Ratio(a.median / b.median),
                 FormatKib(double(peak_small)) + " / " + FormatKib(double(peak))});
    report_.Goal("scan at least 5 times faster than find + mdb-tables", b.median >= 5 * a.median,
                 "speed-up " + Ratio(b.median / a.median));
    report_.Goal("scan's memory flat: the whole tree's peak within 10 % of a quarter's",
                 double(peak) <= 1.1 * double(peak_small),
                 FormatKib(double(peak_small)) + " / " + FormatKib(double(peak)));
    if (!o_.keep) {
      std::filesystem::remove_all(tree);
      std::filesystem::remove_all(small);
    }
  }

  // Path map files of growing length, as every command that finds back-ends
  // reads them first.
  void MapFiles() {
    std::vector<int> lines_list;
    for (int n : o_.map_lines)
      if (n > 0) lines_list.push_back(n);
    if (lines_list.empty()) return;
    Progress("6: path map files");
    report_.Heading("6. Path map files");
    report_.Line("A map file of N share entries (\"\\\\srvI\\baze = /srv/baze/podatki/I\"), read alone by the "
                 "engine in a probe process, " + std::to_string(o_.runs) + " runs each.\n");
    report_.Header({"lines", "read (median)", "spread"});
    double largest = 0;
    for (int n : lines_list) {
      const std::string file = o_.scratch + "/map-" + std::to_string(n);
      {
        std::ofstream out(file);
        for (int i = 0; i < n; ++i) out << "\\\\srv" << i << "\\baze = /srv/baze/podatki/" << i << "\n";
      }
      std::vector<double> seconds;
      for (int run = 0; run < o_.runs; ++run) {
        const ProbeResult r = prober_.Run({"map", file});
        if (r.link != std::to_string(n)) throw std::runtime_error("map " + file + " read " + r.link + " entries");
        seconds.push_back(r.seconds);
      }
      const Summary s = Summarize(seconds);
      report_.Row({std::to_string(n), FormatSeconds(s.median), FormatSpread(s)});
      largest = s.median;
      if (!o_.keep) std::filesystem::remove(file);
    }
    report_.Goal("a map file of " + std::to_string(lines_list.back()) + " lines read in under a second", largest < 1.0,
                 FormatSeconds(largest));
  }

  // A relink to a local path on a machine with Samba installed: vostrel-cli
  // asks testparm only when a link's share path needs the map, so the relink
  // costs what it costs without Samba.
  void SambaRelink(const FrontEnd& fe) {
    const std::string testparm = "/usr/bin/testparm";
    Progress("7: a relink with Samba installed");
    report_.Heading("7. A relink with Samba installed");
    if (!std::filesystem::exists(testparm)) {
      report_.Line("(" + testparm + " is not installed: no figures.)");
      return;
    }
    const std::string conf = o_.scratch + "/smb.conf";
    std::ofstream(conf) << "[global]\n  netbios name = bench\n[baze]\n  path = " << backends_[0] << "\n";
    report_.Line("`vostrel-cli relink " + fe.label + " --table Partner --connect ;DATABASE=LOCAL` as whole processes, "
                 "start to exit, " + std::to_string(o_.process_runs) + " runs each, alternating; both with "
                 "VOSTREL_SMB_CONF naming an smb.conf of one share, one with " + testparm + " to ask, one without "
                 "(VOSTREL_TESTPARM empty).\n");
    report_.Header({"Samba", "median", "spread"});
    const char* labels[] = {"testparm installed", "without testparm"};
    std::vector<double> times[2];
    for (int round = -1; round < o_.process_runs; ++round)
      for (int with = 0; with < 2; ++with) {
        const std::vector<std::string> argv = {o_.bin_dir + "/vostrel-cli", "relink", fe.file, "--table", "Partner",
                                               "--connect", LinkTo(backends_[BackEndOfRound(round * 2 + with)])};
        ProcessOptions options;
        options.extra_env = {"VOSTREL_SMB_CONF=" + conf};
        if (with == 1) options.extra_env.push_back("VOSTREL_TESTPARM=");
        const ProcessResult r = RunProcess(argv, options);
        if (!r.ok()) throw std::runtime_error(Describe(argv, r));
        if (round >= 0) times[with].push_back(r.seconds);
      }
    const Summary with = Summarize(times[0]), without = Summarize(times[1]);
    report_.Row({labels[0], FormatSeconds(with.median), FormatSpread(with)});
    report_.Row({labels[1], FormatSeconds(without.median), FormatSpread(without)});
    const double ratio = with.median / without.median;
    report_.Goal("a relink to a local path with Samba installed within 1.2x of one without", ratio <= 1.2,
                 "ratio of medians " + Ratio(ratio));
    if (!o_.keep) std::filesystem::remove(conf);
  }

  void Peers(const std::vector<FrontEnd>& fes) {
    Progress("4: against mdbtools");
    const std::vector<Tool> tools = {
        {"vostrel-cli list", [&](const FrontEnd& fe) { return std::vector<std::string>{o_.bin_dir + "/vostrel-cli", "list", fe.file}; }},
        {"mdb-tables", [](const FrontEnd& fe) { return std::vector<std::string>{"/usr/bin/mdb-tables", fe.file}; }},
        {"mdb-export MSysObjects",
         [](const FrontEnd& fe) { return std::vector<std::string>{"/usr/bin/mdb-export", fe.file, "MSysObjects"}; }},
        // No file work at all: what starting the program costs, the floor under its figures.
        {"vostrel-cli --version",
         [&](const FrontEnd&) { return std::vector<std::string>{o_.bin_dir + "/vostrel-cli", "--version"}; }},
    };
    report_.Heading("4. Against mdbtools");
    report_.Line("Whole processes, start to exit, output to /dev/null, " + std::to_string(o_.process_runs) +
                 " runs each, the programs alternating on each file. Ratio: our median over theirs (below 1: we "
                 "are faster). `vostrel-cli --version` touches no file: it is what starting our program costs. Peak "
                 "memory: one more run under GNU time (which itself leaves a floor of " + FormatKib(TimeFloorKib()) +
                 ", the peak of /bin/true under it).\n");
    std::vector<std::string> header = {"front-end"};
    for (const Tool& t : tools) header.push_back(t.name);
    header.insert(header.end(), {"ratio to mdb-tables", "ratio to mdb-export", "peak memory (list / tables / export)"});
    report_.Header(header);
    double worst_tables = 0, worst_export = 0;
    for (const FrontEnd& fe : fes) {
      std::vector<std::vector<double>> times(tools.size());
      std::vector<long> peak(tools.size());
      for (int round = -1; round < o_.process_runs; ++round)
        for (size_t t = 0; t < tools.size(); ++t) {
          const std::vector<std::string> argv = tools[t].argv(fe);
          // The warm-up round runs under GNU time, for the peak memory.
          if (round < 0) {
            peak[t] = PeakRssViaTime(argv, {}, TimeReport());
            if (peak[t] == 0) throw std::runtime_error("/usr/bin/time " + argv[0] + " failed");
            continue;
          }
          const ProcessResult r = RunProcess(argv);
          if (!r.ok()) throw std::runtime_error(Describe(argv, r));
          times[t].push_back(r.seconds);
        }
      std::vector<Summary> s;
      for (const auto& v : times) s.push_back(Summarize(v));
      const double vs_tables = s[0].median / s[1].median, vs_export = s[0].median / s[2].median;
      worst_tables = std::max(worst_tables, vs_tables);
      worst_export = std::max(worst_export, vs_export);
      std::vector<std::string> row = {fe.label};
      for (const Summary& x : s) row.push_back(FormatSeconds(x.median) + " (" + FormatSpread(x) + ")");
      row.insert(row.end(), {Ratio(vs_tables), Ratio(vs_export),
                             FormatKib(double(peak[0])) + " / " + FormatKib(double(peak[1])) + " / " +
                                 FormatKib(double(peak[2]))});
      report_.Row(row);
    }
    report_.Goal("vostrel-cli list faster than mdb-tables on every file", worst_tables < 1,
                 "worst ratio " + Ratio(worst_tables));
    report_.Goal("vostrel-cli list faster than mdb-export MSysObjects on every file", worst_export < 1,
                 "worst ratio " + Ratio(worst_export));
  }

  void Window(const std::vector<FrontEnd>& fes) {
    const std::string program = o_.bin_dir + "/vostrel";
    if (!std::filesystem::exists(program)) {
      report_.Line("\n(The window was not built: no figures for the automatic run.)");
      return;
    }
    Progress("5: the window's automatic run");
    report_.Heading("5. The automatic run of the window");
    report_.Line("`vostrel DIR` in the front-end's folder under QT_QPA_PLATFORM=offscreen, from start to exit: "
                 "load, window shown, first activation, relink, close. " + std::to_string(o_.process_runs) +
                 " runs each, alternating between two back-end folders; peak memory from one more run under GNU time.\n");
    report_.Header({"front-end", "median", "spread", "peak memory"});
    for (const FrontEnd& fe : fes) {
      std::vector<double> times;
      long peak = 0;
      int last_backend = 0;
      for (int round = -1; round < o_.process_runs; ++round) {
        last_backend = BackEndOfRound(round);
        const std::vector<std::string> argv = {program, backends_[last_backend]};
        ProcessOptions options;
        options.cwd = fe.folder;
        options.extra_env = {"QT_QPA_PLATFORM=offscreen"};
        options.stderr_path = o_.scratch + "/window-stderr.txt";
        options.timeout_seconds = 60;
        // The warm-up round runs under GNU time, for the peak memory.
        if (round < 0) {
          peak = PeakRssViaTime(argv, options, TimeReport());
          if (peak == 0) throw std::runtime_error("the window failed under /usr/bin/time; see " + options.stderr_path);
          continue;
        }
        const ProcessResult r = RunProcess(argv, options);
        if (!r.ok()) throw std::runtime_error(Describe(argv, r) + "; see " + options.stderr_path);
        times.push_back(r.seconds);
      }
      const ProbeResult after = prober_.Run({"open", fe.file});
      // The window writes the folder with a backslash before the file name.
      if (after.link != ";DATABASE=" + backends_[last_backend] + "\\PARTNER.MDB")
        throw std::runtime_error("the window left Partner linked to " + after.link + " in " + fe.file);
      const Summary t = Summarize(times);
      report_.Row({fe.label, FormatSeconds(t.median), FormatSpread(t), FormatKib(double(peak))});
    }
    report_.Line("\nAfter each series the engine reads back the link the window stored.");
  }

  const Options& o_;
  Prober prober_;
  Workload workload_;
  std::vector<std::string> backends_;
  Report report_;
  long time_floor_kib_ = 0;
};

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "probe") return bench::RunProbe({args.begin() + 1, args.end()});
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << bench::kUsage;
    return 0;
  }
  try {
    const bench::Options options = bench::ParseOptions(args);
    bench::Bench run(options, bench::SelfDir() + "/vostrel-bench");
    run.Run();
    std::cout << run.Text();
    return 0;
  } catch (const std::invalid_argument& e) {
    std::cerr << "vostrel-bench: " << e.what() << "\n\n" << bench::kUsage;
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "vostrel-bench: " << e.what() << "\n";
    return 1;
  }
}
