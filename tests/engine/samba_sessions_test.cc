// What Samba says of its clients' opens and locks, read from smbstatus as
// Samba 4.17 prints it (--json -B, and the text of -B that an older one
// gives), and asked of a stand-in smbstatus: which clients have a database
// or its lock file, and what is said where it cannot tell.
#include <gtest/gtest.h>

#include <fstream>

#include "engine/samba_sessions.h"
#include "tests/support/support.h"

namespace {

using engine::FileIdentity;
using engine::SambaAsked;
namespace fs = std::filesystem;

// Client 13097 (ana at 192.168.1.20) holds MLQ.mdb open with a BATCH oplock,
// its lock file MLQ.ldb open, its user lock in slot 2 and the database's
// lock; client 14500 (bor) holds only an open of Drugo.mdb.
const char kJson[] = R"js({"version": "4.17.12-Debian",
 "sessions": {
  "1": {"server_id": {"pid": "13097"}, "username": "ana", "remote_machine": "192.168.1.20"},
  "2": {"server_id": {"pid": "14500"}, "username": "bor", "remote_machine": "192.168.1.21"}},
 "open_files": {
  "/srv/app/MLQ.mdb": {"fileid": {"devid": 65024, "inode": 100}, "opens": {
    "13097/3": {"server_id": {"pid": "13097"}, "oplock": {"BATCH": true, "text": "BATCH"}}}},
  "/srv/app/MLQ.ldb": {"fileid": {"devid": 65024, "inode": 101}, "opens": {
    "13097/5": {"server_id": {"pid": "13097"}, "oplock": {}}}},
  "/srv/app/Drugo.mdb": {"fileid": {"devid": 65024, "inode": 200}, "opens": {
    "14500/1": {"server_id": {"pid": "14500"}, "oplock": {"LEASE": true, "text": "LEASE(RWH)"}}}}},
 "byte_range_locks": {
  "/srv/app/MLQ.ldb": {"fileid": {"devid": 65024, "inode": 101}, "locks": [
    {"server_id": {"pid": "13097"}, "type": "W", "start": 268435459, "size": 1}]},
  "/srv/app/MLQ.mdb": {"fileid": {"devid": 65024, "inode": 100}, "locks": [
    {"server_id": {"pid": "13097"}, "type": "R", "start": 268435456, "size": 256}]}}})js";

// The same state as `smbstatus -B` prints it (a share path with a space).
const char kText[] = R"txt(
Samba version 4.17.12-Debian
PID     Username     Group        Machine                                   Protocol Version  Encryption           Signing
----------------------------------------------------------------------------------------------------------------------------------------
13097   ana          ana          192.168.1.20 (ipv4:192.168.1.20:47986)    SMB3_00           partial(AES-128-CCM) partial(AES-128-CMAC)
14500   bor          bor          192.168.1.21 (ipv4:192.168.1.21:47990)    SMB3_00           partial(AES-128-CCM) partial(AES-128-CMAC)

Service      pid     Machine       Connected at                     Encryption   Signing
---------------------------------------------------------------------------------------------
app          13097   192.168.1.20  Thu Dec 10 09:56:17 2026 UTC     AES-128-CCM  AES-128-CMAC

Locked files:
Pid          User(ID)   DenyMode   Access      R/W        Oplock           SharePath   Name   Time
--------------------------------------------------------------------------------------------------
13097        1001       DENY_NONE  0x12019f    RDWR       BATCH            @/app dir   MLQ.mdb   Thu Dec 10 09:56:16 2026
13097        1001       DENY_NONE  0x12019f    RDWR       NONE             @/app dir   MLQ.ldb   Thu Dec 10 09:56:16 2026
14500        1002       DENY_NONE  0x12019f    RDWR       LEASE(RWH)       @/app dir   Drugo.mdb   Thu Dec 10 09:56:16 2026

Byte range locks:
Pid        dev:inode       R/W  start     size      SharePath               Name
--------------------------------------------------------------------------------
13097      65024:101:0 W    268435459 1         @/app dir            MLQ.ldb
13097      65024:100:0 R    268435456 256       @/app dir            MLQ.mdb
)txt";

const FileIdentity kDb{65024, 100}, kLockFile{65024, 101}, kOther{65024, 200};

std::string Described(const std::vector<engine::SambaSession>& sessions) {
  std::string out;
  for (const engine::SambaSession& s : sessions) {
    out += s.user + "@" + s.machine + " slots";
    for (size_t slot : s.slots) out += " " + std::to_string(slot);
    out += ";";
  }
  return out;
}

struct Question {
  const char* name;
  FileIdentity db;
  std::vector<FileIdentity> lock_files;
  const char* sessions;
};

void PrintTo(const Question& q, std::ostream* os) { *os << q.name; }

class SambaSessionsOn : public testing::TestWithParam<Question> {};

TEST_P(SambaSessionsOn, TheJsonNamesTheClientsOfTheDatabaseAndItsLockFile) {
  const Question& q = GetParam();
  const std::optional<engine::SmbState> state = engine::ReadSmbstatusJson(kJson);
  ASSERT_TRUE(state);
  EXPECT_EQ(Described(engine::SambaSessionsOn(*state, q.db, q.lock_files)), q.sessions);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SambaSessionsOn,
    testing::Values(Question{"DatabaseAndLockFile", kDb, {kLockFile}, "ana@192.168.1.20 slots 2;"},
                    // The lock is on a lock file that is not this database's: no slot.
                    Question{"DatabaseAlone", kDb, {}, "ana@192.168.1.20 slots;"},
                    Question{"AnOpenWithALeaseAlone", kOther, {}, "bor@192.168.1.21 slots;"},
                    Question{"AFileNobodyHas", FileIdentity{65024, 300}, {FileIdentity{65024, 301}}, ""},
                    // An identity nobody could learn matches nothing.
                    Question{"AnUnknownFile", FileIdentity{}, {FileIdentity{}}, ""}),
    [](const testing::TestParamInfo<Question>& info) { return std::string(info.param.name); });

TEST(Smbstatus, TheTextSaysWhatTheJsonSays) {
  const std::optional<engine::SmbState> text = engine::ReadSmbstatusText(kText);
  ASSERT_TRUE(text);
  ASSERT_EQ(text->opens.size(), 3u);
  EXPECT_EQ(text->opens[0].path, "@/app dir/MLQ.mdb");
  EXPECT_EQ(text->opens[2].caching, "LEASE(RWH)");
  ASSERT_EQ(text->locks.size(), 2u);
  EXPECT_EQ(text->locks[0].file, kLockFile);
  EXPECT_EQ(text->locks[0].start, 268435459u);
  ASSERT_EQ(text->clients.size(), 2u);
  EXPECT_EQ(text->clients[1].user, "bor");
  EXPECT_EQ(text->clients[1].machine, "192.168.1.21");
  EXPECT_FALSE(engine::ReadSmbstatusText("smbstatus only works as root!\n"));
  EXPECT_FALSE(engine::ReadSmbstatusJson("smbstatus only works as root!\n"));
}

// A stand-in smbstatus and process table, as AskSamba meets them.
struct Server {
  testing_support::TempDir dir;
  engine::SambaQuery query;
  explicit Server(const std::string& script, bool smbd_runs = true) {
    fs::create_directories(dir / "proc/4242");
    std::ofstream(dir / "proc/4242/comm") << (smbd_runs ? "smbd\n" : "bash\n");
    std::ofstream(dir / "smbstatus") << "#!/bin/sh\n" << script;
    fs::permissions(dir / "smbstatus", fs::perms::owner_all);
    fs::create_directories(dir / "app dir");
    for (const char* name : {"MLQ.mdb", "MLQ.ldb", "Drugo.mdb"}) std::ofstream(dir / "app dir" / name) << "x";
    query.smbstatus = (dir / "smbstatus").string();
    query.smb_conf = (dir / "smb.conf").string();
    query.proc = (dir / "proc").string();
  }
};

TEST(AskSamba, AnOldSmbstatusIsReadThroughItsText) {
  SKIP_ON_WINDOWS("Samba");
  Server server("");
  std::string text = kText;
  for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, server.dir.path().string());
  std::ofstream(server.dir / "text") << text;
  std::ofstream(server.dir / "smbstatus", std::ios::trunc)
      << "#!/bin/sh\ncase \" $* \" in *' --json '*) echo 'smbstatus: --json: unknown option' >&2; exit 1;; esac\n"
      << "cat " << testing_support::ShellQuote((server.dir / "text").string()) << "\n";
  const SambaAsked asked = engine::AskSamba(jet::Env::Default(), server.query);
  ASSERT_EQ(asked.answer, SambaAsked::Answer::kAnswered) << asked.failure.english;
  auto info = jet::Env::Default().Stat((server.dir / "app dir/MLQ.mdb").string());
  ASSERT_TRUE(info.ok());
  // The text's opens are found by their paths.
  EXPECT_EQ(Described(engine::SambaSessionsOn(asked.state, FileIdentity{info->device, info->inode}, {})),
            "ana@192.168.1.20 slots;");
}

TEST(AskSamba, WhatItCannotTellIsAFailureAndNoServerIsNothing) {
  SKIP_ON_WINDOWS("Samba");
  struct Case {
    const char* what;
    const char* script;
    bool smbd_runs;
    SambaAsked::Answer answer;
    const char* failure;
  } cases[] = {
      // As smbstatus answers anyone but root: a part of its JSON, and status 1.
      {"not root", "echo '{\"version\": \"4.17.12\"}'; echo 'smbstatus only works as root!' >&2; exit 1\n", true,
       SambaAsked::Answer::kUnreadable, "it ended with status 1: smbstatus only works as root!"},
      {"not JSON", "echo garbage\n", true, SambaAsked::Answer::kUnreadable, "its output could not be read"},
      {"no smbd running", "exit 1\n", false, SambaAsked::Answer::kNoServer, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Server server(c.script, c.smbd_runs);
    const SambaAsked asked = engine::AskSamba(jet::Env::Default(), server.query);
    EXPECT_EQ(asked.answer, c.answer);
    EXPECT_EQ(asked.failure.english, c.failure);
  }
  Server absent("", true);
  absent.query.smbstatus = (absent.dir / "no-such-program").string();
  EXPECT_EQ(engine::AskSamba(jet::Env::Default(), absent.query).answer, SambaAsked::Answer::kNoServer);
}

}  // namespace
