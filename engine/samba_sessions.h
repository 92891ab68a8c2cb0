// Sessions of Windows clients as the Samba server on this machine knows
// them. smbd keeps share modes, oplocks, leases and byte-range locks in its
// own databases; it turns a client's byte-range lock into a POSIX lock only
// where the share has `posix locking = yes`, and an open or a lease never.
// `smbstatus` (root only) reads those databases: its --json (Samba 4.17 has
// it) or, where that option is missing, its text of `-B`.
//
// A file is matched by its identity (device and inode), which both outputs
// give for what they name (the text's open files by their path), so that a
// share reached through a symbolic link, a bind mount or a name in another
// case is the same file.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/failures.h"
#include "jet/env_names.h"

namespace engine {

struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool known() const { return device != 0 || inode != 0; }
  bool operator==(const FileIdentity&) const = default;
};

// What smbstatus says: smbd's open files, byte-range locks and sessions.
// `pid` is the smbd process serving one client connection.
struct SmbState {
  struct Open {
    FileIdentity file;  // unknown from the text until AskSamba looks the path up
    std::string path;   // the share's path and the name in it
    std::string pid;
    std::string caching;  // "BATCH", "EXCLUSIVE", "LEVEL_II", "LEASE(RWH)", "NONE"
  };
  struct Lock {
    FileIdentity file;
    std::string path;
    std::string pid;
    uint64_t start = 0;
    uint64_t size = 0;
  };
  struct Client {
    std::string pid;
    std::string user;     // the Unix account the client works as
    std::string machine;  // its address as smbd names it ("192.168.1.20")
  };
  std::vector<Open> opens;
  std::vector<Lock> locks;
  std::vector<Client> clients;
};

// What `smbstatus --json -B` printed; none where it is not a JSON object.
// A section it left out (no client ever connected) is empty.
std::optional<SmbState> ReadSmbstatusJson(std::string_view text);
// What `smbstatus -B` printed as text (sessions, locked files, byte-range
// locks); none where it has none of its sections' headings.
std::optional<SmbState> ReadSmbstatusText(std::string_view text);

// A Windows client that has the database or its lock file open or locked.
struct SambaSession {
  std::string machine;
  std::string user;
  // The slots of the lock file whose user lock (0x10000001 + slot) it holds:
  // where the lock file has a record there, that record names it.
  std::vector<size_t> slots;
};

// The clients whose opens or locks are on `db` or on one of `lock_files`,
// each once, in the order smbstatus gave them.
std::vector<SambaSession> SambaSessionsOn(const SmbState& state, FileIdentity db,
                                          const std::vector<FileIdentity>& lock_files);

struct SambaQuery {
  std::string smbstatus;  // empty: not asked
  std::string smb_conf;   // the server's configuration, passed as -s
  // Where smbd would show in the process table: without a running smbd
  // nobody is asked, and nothing is said.
  std::string proc = "/proc";
  std::chrono::milliseconds timeout{5000};
};

// /usr/bin/smbstatus with VOSTREL_SMB_CONF or /etc/samba/smb.conf; on
// Windows nothing.
SambaQuery DefaultSambaQuery();

struct SambaAsked {
  enum class Answer {
    kNoServer,    // no smbstatus, or no smbd running: no Windows client here
    kAnswered,    // `state` holds what it said
    kUnreadable,  // it could not tell (not root, no rights, it failed): `failure`
  };
  Answer answer = Answer::kNoServer;
  SmbState state;
  Phrase failure;
};

// Runs smbstatus (RunProgram) and reads its output; whether an smbd runs
// (`query.proc`) and the files of the text's opens are looked up through
// `env`. Asked anew at each call: a session may
// start at any moment, so only the state just before a decision counts.
SambaAsked AskSamba(jet::Env& env, const SambaQuery& query);

}  // namespace engine
