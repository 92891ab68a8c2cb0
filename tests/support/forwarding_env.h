// ForwardingEnv: an Env that passes every call to another (the system's by
// default), for a test's Env that changes one or two of them and keeps the
// rest as they are.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "jet/env_names.h"

namespace testing_support {

class ForwardingEnv : public jet::Env {
 public:
  explicit ForwardingEnv(jet::Env& base = jet::Env::Default()) : base_(base) {}

  jet::Result<std::unique_ptr<jet::File>> Open(const std::string& path, jet::OpenMode mode) override {
    return base_.Open(path, mode);
  }
  jet::Status Remove(const std::string& path) override { return base_.Remove(path); }
  bool Exists(const std::string& path) override { return base_.Exists(path); }
  jet::Status SyncDir(const std::string& dir) override { return base_.SyncDir(dir); }
  jet::Status Rename(const std::string& from, const std::string& to) override { return base_.Rename(from, to); }
  jet::Result<jet::FileInfo> Stat(const std::string& path, bool follow_links) override {
    return base_.Stat(path, follow_links);
  }
  jet::Result<std::vector<std::string>> ListDir(const std::string& dir) override { return base_.ListDir(dir); }
  jet::Result<std::string> RealPath(const std::string& path) override { return base_.RealPath(path); }
  jet::Result<std::string> CurrentDir() override { return base_.CurrentDir(); }
  jet::Result<std::string> ProgramPath() override { return base_.ProgramPath(); }
  jet::Result<std::string> HostName() override { return base_.HostName(); }

 protected:
  jet::Env& base_;
};

}  // namespace testing_support
