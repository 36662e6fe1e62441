// Names table-driven test cases after their row: the name field of the parameter.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace scriptfonts::test {

template <typename Case>
std::string caseName(const testing::TestParamInfo<Case>& testCase) {
    return testCase.param.name;
}

}  // namespace scriptfonts::test
