#include "engine/samba_sessions.h"

#include <algorithm>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "engine/run_program.h"

namespace engine {
namespace {

using nlohmann::json;

constexpr uint64_t kUserLocks = 0x10000001;  // one byte per session slot, on the lock file
constexpr size_t kSlots = 255;
constexpr size_t kMaxOutput = 64 << 20;  // a server with thousands of open files prints a few MB

// A member as text: smbstatus writes pids as strings and ids as numbers.
std::string Text(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end()) return {};
  if (it->is_string()) return it->get<std::string>();
  if (it->is_number()) return it->dump();
  return {};
}

uint64_t Number(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end()) return 0;
  if (it->is_number_unsigned() || it->is_number_integer()) return it->get<uint64_t>();
  if (it->is_string()) return std::strtoull(it->get<std::string>().c_str(), nullptr, 10);
  return 0;
}

const json& Member(const json& object, const char* key) {
  static const json kNone = json::object();
  const auto it = object.find(key);
  return it != object.end() && it->is_object() ? *it : kNone;
}

FileIdentity IdentityOf(const json& entry) {
  const json& id = Member(entry, "fileid");
  return FileIdentity{Number(id, "devid"), Number(id, "inode")};
}

std::string PidOf(const json& entry) { return Text(Member(entry, "server_id"), "pid"); }

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

std::vector<std::string> Words(std::string_view line, size_t at_most, std::string_view* rest) {
  std::vector<std::string> words;
  size_t at = 0;
  while (words.size() < at_most) {
    at = line.find_first_not_of(" \t", at);
    if (at == std::string_view::npos) break;
    const size_t end = std::min(line.find_first_of(" \t", at), line.size());
    words.emplace_back(line.substr(at, end - at));
    at = end;
  }
  const size_t start = line.find_first_not_of(" \t", std::min(at, line.size()));
  if (rest) *rest = start == std::string_view::npos ? std::string_view() : line.substr(start);
  return words;
}

// The columns of a locked file's path: "SharePath   Name   Time", three
// spaces apart (a single space may be part of a name).
std::vector<std::string> Columns(std::string_view rest) {
  std::vector<std::string> columns;
  while (!rest.empty()) {
    const size_t gap = rest.find("   ");
    columns.emplace_back(rest.substr(0, gap));
    const size_t next = gap == std::string_view::npos ? std::string_view::npos : rest.find_first_not_of(' ', gap);
    rest = next == std::string_view::npos ? std::string_view() : rest.substr(next);
  }
  return columns;
}

std::string Joined(const std::string& share_path, const std::string& name) {
  if (share_path.empty() || share_path.back() == '/') return share_path + name;
  return share_path + "/" + name;
}

bool IsDigits(std::string_view s) { return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos; }

// "65024:10953868:0" (device, inode, extended id).
FileIdentity IdentityText(const std::string& s) {
  const size_t colon = s.find(':');
  if (colon == std::string::npos) return {};
  return FileIdentity{std::strtoull(s.c_str(), nullptr, 10), std::strtoull(s.c_str() + colon + 1, nullptr, 10)};
}

}  // namespace

std::optional<SmbState> ReadSmbstatusJson(std::string_view text) {
  const json status = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!status.is_object()) return std::nullopt;
  SmbState state;
  for (const auto& [id, session] : Member(status, "sessions").items()) {
    if (!session.is_object()) continue;
    state.clients.push_back({PidOf(session), Text(session, "username"), Text(session, "remote_machine")});
  }
  for (const auto& [path, file] : Member(status, "open_files").items()) {
    if (!file.is_object()) continue;
    for (const auto& [key, open] : Member(file, "opens").items()) {
      if (!open.is_object()) continue;
      std::string caching = Text(Member(open, "oplock"), "text");
      if (caching.empty()) caching = "NONE";
      state.opens.push_back({IdentityOf(file), path, PidOf(open), caching});
    }
  }
  for (const auto& [path, file] : Member(status, "byte_range_locks").items()) {
    if (!file.is_object()) continue;
    const auto locks = file.find("locks");
    if (locks == file.end() || !locks->is_array()) continue;
    for (const json& lock : *locks) {
      if (!lock.is_object()) continue;
      state.locks.push_back({IdentityOf(file), path, PidOf(lock), Number(lock, "start"), Number(lock, "size")});
    }
  }
  return state;
}

std::optional<SmbState> ReadSmbstatusText(std::string_view text) {
  enum class Section { kNone, kSessions, kOpens, kLocks } section = Section::kNone;
  bool any = false;
  SmbState state;
  for (std::string_view line : Lines(text)) {
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string_view rest;
    const std::vector<std::string> w = Words(line, 6, &rest);
    if (w.empty()) continue;
    if (w[0] == "PID" && w.size() > 1 && w[1] == "Username") {
      section = Section::kSessions;
      any = true;
    } else if (w[0] == "Service") {
      section = Section::kNone;  // the shares connected: nothing of files
    } else if (line.starts_with("Locked files:")) {
      section = Section::kOpens;
      any = true;
    } else if (line.starts_with("Byte range locks:")) {
      section = Section::kLocks;
      any = true;
    } else if (IsDigits(w[0])) {
      if (section == Section::kSessions && w.size() >= 4) {
        state.clients.push_back({w[0], w[1], w[3]});
      } else if (section == Section::kOpens && w.size() == 6) {
        // Pid User(ID) DenyMode Access R/W Oplock SharePath Name Time
        const std::vector<std::string> c = Columns(rest);
        if (c.size() >= 2) state.opens.push_back({FileIdentity{}, Joined(c[0], c[1]), w[0], w[5]});
      } else if (section == Section::kLocks && w.size() == 6) {
        // Pid dev:inode R/W start size SharePath Name
        std::string_view path_rest;
        const std::vector<std::string> v = Words(line, 5, &path_rest);
        const std::vector<std::string> c = Columns(path_rest);
        state.locks.push_back({IdentityText(v[1]), c.size() >= 2 ? Joined(c[0], c[1]) : std::string(path_rest),
                               v[0], std::strtoull(v[3].c_str(), nullptr, 10), std::strtoull(v[4].c_str(), nullptr, 10)});
      }
    }
  }
  if (!any) return std::nullopt;
  return state;
}

std::vector<SambaSession> SambaSessionsOn(const SmbState& state, FileIdentity db,
                                          const std::vector<FileIdentity>& lock_files) {
  auto is_lock_file = [&](FileIdentity f) {
    return f.known() && std::find(lock_files.begin(), lock_files.end(), f) != lock_files.end();
  };
  std::vector<std::string> pids;  // in the order first met
  std::vector<std::vector<size_t>> slots;
  auto client = [&](const std::string& pid) -> std::vector<size_t>& {
    const auto it = std::find(pids.begin(), pids.end(), pid);
    if (it != pids.end()) return slots[static_cast<size_t>(it - pids.begin())];
    pids.push_back(pid);
    return slots.emplace_back();
  };
  for (const SmbState::Open& o : state.opens)
    if (o.file.known() && (o.file == db || is_lock_file(o.file))) client(o.pid);
  for (const SmbState::Lock& l : state.locks) {
    if (!l.file.known() || !(l.file == db || is_lock_file(l.file))) continue;
    std::vector<size_t>& held = client(l.pid);
    if (is_lock_file(l.file) && l.start >= kUserLocks && l.start < kUserLocks + kSlots) held.push_back(l.start - kUserLocks);
  }
  std::vector<SambaSession> sessions;
  for (size_t i = 0; i < pids.size(); ++i) {
    SambaSession s;
    for (const SmbState::Client& c : state.clients) {
      if (c.pid != pids[i]) continue;
      s.machine = c.machine;
      s.user = c.user;
      break;
    }
    s.slots = std::move(slots[i]);
    sessions.push_back(std::move(s));
  }
  return sessions;
}

SambaQuery DefaultSambaQuery() {
  SambaQuery q;
#ifndef _WIN32
  q.smbstatus = "/usr/bin/smbstatus";  // Debian's samba
  const char* conf = std::getenv("VOSTREL_SMB_CONF");
  q.smb_conf = conf && *conf ? conf : "/etc/samba/smb.conf";
#endif
  return q;
}

namespace {

// Whether an smbd runs: its processes name themselves "smbd" (the one that
// listens and one per client connection).
bool SmbdRunning(jet::Env& env, const std::string& proc) {
  auto entries = env.ListDir(proc);
  if (!entries.ok()) return true;  // no process table to read: ask rather than guess
  std::vector<uint8_t> comm(32);
  for (const std::string& entry : *entries) {
    if (!IsDigits(entry)) continue;
    auto file = env.Open(proc + "/" + entry + "/comm", jet::OpenMode::kRead);
    if (!file.ok()) continue;
    auto n = (*file)->ReadUpTo(0, comm);
    if (n.ok() && std::string_view(reinterpret_cast<const char*>(comm.data()), *n) == "smbd\n") return true;
  }
  return false;
}

}  // namespace

SambaAsked AskSamba(jet::Env& env, const SambaQuery& query) {
  SambaAsked asked;
  if (query.smbstatus.empty() || !SmbdRunning(env, query.proc)) return asked;
  const std::vector<std::string> conf = {"-s", query.smb_conf.starts_with("-") ? "./" + query.smb_conf : query.smb_conf};
  auto with = [&](std::vector<std::string> args) {
    args.insert(args.begin(), conf.begin(), conf.end());
    return RunProgram(query.smbstatus, args, query.timeout, kMaxOutput);
  };
  ProgramRun run = with({"--json", "-B"});
  if (run.outcome == ProgramRun::Outcome::kAbsent) return asked;
  std::optional<SmbState> state;
  if (run.outcome == ProgramRun::Outcome::kPrinted) state = ReadSmbstatusJson(run.output);
  // A Samba before 4.16 knows no --json: it says so and prints no JSON.
  if (!state && !ReadSmbstatusJson(run.output) && run.failure.english.find("json") != std::string::npos) {
    run = with({"-B"});
    if (run.outcome == ProgramRun::Outcome::kPrinted) state = ReadSmbstatusText(run.output);
  }
  if (!state) {
    asked.answer = SambaAsked::Answer::kUnreadable;
    asked.failure = run.outcome == ProgramRun::Outcome::kFailed ? run.failure : Say("its output could not be read");
    return asked;
  }
  for (SmbState::Open& o : state->opens) {
    if (o.file.known()) continue;
    if (auto info = env.Stat(o.path); info.ok()) o.file = FileIdentity{info->device, info->inode};
  }
  asked.answer = SambaAsked::Answer::kAnswered;
  asked.state = std::move(*state);
  return asked;
}

}  // namespace engine
