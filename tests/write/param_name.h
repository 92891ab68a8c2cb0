// The name a parameterised test case shows: the letters and digits of its
// description.
#pragma once

#include <cctype>
#include <string>

#include <gtest/gtest.h>

namespace write_test {

struct ParamName {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    std::string name;
    for (char ch : info.param.name)
      if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
    return name;
  }
};

}  // namespace write_test
