#include "engine/paths/testparm.h"

#include <vector>

#include "engine/failures.h"
#include "engine/paths/source_text.h"

namespace engine::paths {

TestparmRun RunTestparm(const std::string& program, const std::string& conf, std::chrono::milliseconds timeout,
                        size_t max_output) {
  // A name beginning with "-" would be read as an option.
  return RunProgram(program, {"-s", conf.starts_with("-") ? "./" + conf : conf}, timeout, max_output);
}

namespace {

// A file as testparm read it: what says it is still the same file with the
// same contents (its identity, size and time), or that it was not there.
struct FileStamp {
  std::string path;
  std::optional<jet::FileInfo> info;
  bool operator==(const FileStamp& o) const {
    if (path != o.path || info.has_value() != o.info.has_value()) return false;
    return !info || (info->device == o.info->device && info->inode == o.info->inode && info->size == o.info->size &&
                     info->modified == o.info->modified);
  }
};

FileStamp StampOf(jet::Env& env, const std::string& path) {
  Result<jet::FileInfo> info = env.Stat(path);
  return FileStamp{path, info.ok() ? std::optional<jet::FileInfo>(*info) : std::nullopt};
}

// What testparm said last in this process, and of which files: a process
// that reads the map again (a batch, the window's next relink) asks it again
// only when smb.conf or a file it includes changed since. Kept in memory
// only: a file would be one more thing to go stale or be planted.
struct TestparmAnswer {
  std::string program;
  std::vector<FileStamp> read;  // smb.conf first, then what it included
  SmbConf conf;
};

std::optional<TestparmAnswer>& LastTestparmAnswer() {
  static std::optional<TestparmAnswer> answer;
  return answer;
}

bool StillAsRead(jet::Env& env, const std::vector<FileStamp>& read) {
  for (const FileStamp& f : read)
    if (!(StampOf(env, f.path) == f)) return false;
  return true;
}

}  // namespace

std::optional<SmbConf> TestparmConf(jet::Env& env, const MapSources& sources) {
  if (sources.testparm.empty()) return std::nullopt;
  std::optional<TestparmAnswer>& last = LastTestparmAnswer();
  if (last && last->program == sources.testparm && last->read.front().path == sources.smb_conf &&
      StillAsRead(env, last->read))
    return last->conf;
  // Taken before the run: a change while it runs makes the answer stale at once.
  const FileStamp conf_before = StampOf(env, sources.smb_conf);
  const TestparmRun run = RunTestparm(sources.testparm, sources.smb_conf, sources.testparm_timeout, kMaxSourceFile);
  if (run.outcome == TestparmRun::Outcome::kAbsent) return std::nullopt;
  if (run.outcome == TestparmRun::Outcome::kFailed) {
    Notice(Say("%1 could not read the Samba configuration '%2' (%3); its shares are read without it.",
               {sources.testparm, sources.smb_conf, run.failure.localized})
               .localized);
    return std::nullopt;
  }
  SmbConf conf;
  std::string section;
  std::set<std::string> read_already;
  ReadSmbText(env, run.output, sources.smb_conf, SmbReading::kResolved, read_already, conf, section);
  TestparmAnswer answer{sources.testparm, {conf_before}, conf};
  for (const std::string& file : conf.included) answer.read.push_back(StampOf(env, file));
  last = std::move(answer);
  return conf;
}

}  // namespace engine::paths
