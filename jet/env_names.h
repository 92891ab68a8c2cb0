// The file system and the outcome of an operation, as jet names them: the
// engine's public Env and Status (vostrel/env.h, vostrel/status.h), which
// the format layer below it reads and writes through too, as LevelDB's
// tables do through leveldb/env.h.
#pragma once

#include "vostrel/env.h"
#include "vostrel/status.h"

namespace jet {

using engine::Code;
using engine::Env;
using engine::File;
using engine::FileInfo;
using engine::FileKind;
using engine::HeldLock;
using engine::OpenMode;
using engine::Result;
using engine::Status;

}  // namespace jet

#define JET_RETURN_IF_ERROR(expr)        \
  do {                                   \
    ::jet::Status jet_status_ = (expr);  \
    if (!jet_status_.ok()) return jet_status_; \
  } while (0)
